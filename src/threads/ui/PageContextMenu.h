#pragma once

#include <string>

#include "threads/ui/ThreadView.h"

class QMenu;

namespace velkor {

class ThreadTab;

// The menu of a thread page ("threadViewPM"), the program's own in place of the browser's:
//   on a link      リンクを開く, ブラウザで開く, リンクをコピー (shown only on a link)
//   on a selection コピー, 選択範囲で検索, これにレス (hidden while no reply window takes it)
//   NG             NGワードに追加, NG名前に追加, NGIDに追加, NG設定...
//   anywhere       すべて選択, 検索 (the find bar), 再読み込み
// An entry that cannot act where the menu opened is disabled: the NG entries want a thread and a
// selection, or the reply under the pointer with a name or an ID; これにレス wants the reply under
// the pointer; ブラウザで開く wants a web link; 再読み込み wants a thread.
class PageContextMenu {
 public:
  // Opens the menu for `click` in `tab`'s page once the page has said which reply lies under the
  // pointer (the last reply anchor before it, asked asynchronously).
  static void Open(ThreadTab& tab, const ThreadView::PageClick& click);
  // The menu itself for the reply `reply` under the pointer (0: none); owned by the caller, without
  // a parent. Its entries do nothing once the tab is gone.
  static QMenu* Build(ThreadTab& tab, const ThreadView::PageClick& click, int reply);
  // What "リンクをコピー" puts on the clipboard for `link` (CP932): a link into the page or a
  // reply number becomes the thread's address with the replies
  // ("http://host/test/read.cgi/b/1/12"), any other link stays as it is.
  static std::string LinkToCopy(const ThreadTab& tab, const std::string& link);
};

}  // namespace velkor
