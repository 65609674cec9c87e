#pragma once

#include <QObject>
#include <QString>

namespace velkor {

// What a thread page's menu asks of the window around the tabs. The main window connects the
// signals; the menu hides an entry whose signal nobody has connected (これにレス until a reply
// window exists). Board directories and dat names as the tabs hold them (CP932 shown as QString).
class PageCommands : public QObject {
  Q_OBJECT

 public:
  // Whether something takes ReplyRequested.
  bool HasReplyWindow() const;

 signals:
  // "検索": open the find bar over the active tab, with `text` (the selection, may be empty).
  void FindRequested(const QString& text);
  // "選択範囲で検索": open the log search with `text`.
  void LogSearchRequested(const QString& text);
  // "これにレス": put ">>reply" into the reply window of the thread boardDir + datName; `quote` is
  // the text selected in the page (may be empty).
  void ReplyRequested(const QString& boardDir, const QString& datName, int reply,
                      const QString& quote);
};

// The process-wide commands of the thread pages.
PageCommands& ThreadPageCommands();

}  // namespace velkor
