#include "threads/ThreadTab.h"

#include <QCursor>
#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Settings.h"
#include "app/UiHooks.h"
#include "app/UrlPaths.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "gui/GuiText.h"
#include "subjects/ThreadState.h"
#include "subjects/TitleText.h"
#include "threads/DatRenderer.h"
#include "threads/PopupText.h"
#include "threads/PopupWindow.h"
#include "threads/ThreadLinks.h"
#include "threads/ThreadTabOwner.h"
#include "threads/ThreadView.h"

namespace velkor {

namespace {

void ReportIniFailure(const std::string& path) {
  Ui().SetStatusText(Sjis("エラー:") + path + Sjis(" を書き込めませんでした."));
}

}  // namespace

ThreadTab::ThreadTab(ThreadTabOwner* owner, QWidget* parent)
    : QWidget(parent), owner_(owner), view_(new ThreadView(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  connect(view_, &ThreadView::LinkFollowed, this,
          [this](const QString& url) { LinkFollowed(ToSjis(url)); });
  connect(view_, &ThreadView::LinkUnderMouse, this,
          [this](const QString& url) { LinkHovered(ToSjis(url)); });
  view_->SetContextMenuHandler(
      [this](const QString& selection) { return SelectionContextMenu(ToSjis(selection)); });
  WriteDocument(std::string());
}

ThreadTab::~ThreadTab() = default;

void ThreadTab::ShowThread(const std::string& boardDir, const std::string& datName,
                           const std::string& anchor, int firstUnread, const std::string& title) {
  boardDir_ = boardDir;
  datName_ = datName;
  firstUnread_ = firstUnread;
  oldShown_ = kOldShown;
  LoadReplies(replies_, boardDir + datName);
  const std::string html = RenderPage(replies_, title, firstUnread, kOldShown);
  RecordHistory(boardDir + datName, title);
  WriteDocument(html);
  JumpTo(anchor);
  FocusDocument();
}

bool ThreadTab::ShowAgainIfChanged(const std::string& anchor, int firstUnread) {
  ReplyList stored;
  LoadReplies(stored, boardDir_ + datName_);
  const int count = stored.Count();
  const bool grown = count > replies_.Count();
  const bool markerMoved = firstUnread != firstUnread_ && firstUnread <= count;
  if (!grown && !markerMoved) return false;
  ShowThread(boardDir_, datName_, anchor, firstUnread, caption_);
  return true;
}

void ThreadTab::ShowHtml(const std::string& html) {
  boardDir_.clear();
  datName_.clear();
  WriteDocument(html);
  FocusDocument();
}

void ThreadTab::Rerender(const std::string& anchor) {
  WriteDocument(RenderPage(replies_, caption_, firstUnread_, oldShown_));
  ScrollToAnchor(anchor);
}

void ThreadTab::JumpTo(const std::string& anchor) {
  QPointer<ThreadTab> self(this);
  ScrollToAnchor(anchor, [self, anchor](int result) {
    if (self.isNull() || result != ThreadView::kAnchorNotFound) return;
    // The reply lies among the omitted read replies (or the page never had it): show them all.
    self->oldShown_ = 0;
    self->Rerender(anchor);
  });
}

void ThreadTab::RecordHistory(const std::string& path, const std::string& title) {
  const auto found = std::find(historyPaths_.begin(), historyPaths_.end(), path);
  if (found != historyPaths_.end()) {
    const auto index = found - historyPaths_.begin();
    historyPaths_.erase(found);
    historyTitles_.erase(historyTitles_.begin() + index);
  }
  historyPaths_.insert(historyPaths_.begin(), path);
  historyTitles_.insert(historyTitles_.begin(), title);
  if (historyPaths_.size() > kHistorySize) {
    historyPaths_.resize(kHistorySize);
    historyTitles_.resize(kHistorySize);
  }
}

void ThreadTab::OpenHistoryEntry(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= historyPaths_.size()) return;
  const std::string title = historyTitles_[static_cast<std::size_t>(index)];
  const std::string path = historyPaths_[static_cast<std::size_t>(index)];
  SetCaption(title);
  const std::size_t slash = path.rfind('/');
  const std::string dir = path.substr(0, slash + 1);
  const std::string file = path.substr(slash + 1);
  const int unread = ThreadState(dir, file, ShownSubjects()).FirstUnread();
  ShowThread(dir, file, "midoku", unread, title);
}

void ThreadTab::SetBookmark() {
  if (boardDir_.empty() || datName_.empty()) return;
  firstUnread_ = menuReplyNumber_;
  ThreadState state(boardDir_, datName_, ShownSubjects());
  if (!state.StoreFirstUnread(firstUnread_)) ReportIniFailure(state.FilePath());
  if (owner_ != nullptr) owner_->TabThreadStateChanged(*this);
  Rerender("midoku");
}

void ThreadTab::DeleteThreadLog() {
  ThreadState state(boardDir_, datName_, ShownSubjects());
  if (!state.CanDeleteLog()) return;
  if (!state.DeleteLog()) ReportIniFailure(state.FilePath());
  if (owner_ != nullptr) owner_->TabThreadStateChanged(*this);
}

SubjectList* ThreadTab::ShownSubjects() const {
  return owner_ != nullptr ? owner_->ShownSubjects() : nullptr;
}

std::string ThreadTab::ThreadUrl() const {
  if (boardDir_.empty() || datName_.empty()) return {};
  return velkor::ThreadUrl(BoardUrlOfLogDir(boardDir_), datName_.substr(0, datName_.rfind('.')),
                           false);
}

void ThreadTab::WriteDocument(const std::string& html) {
  document_ = html;
  view_->WriteDocument(html);
}

void ThreadTab::ScrollToAnchor(const std::string& name, std::function<void(int)> done) {
  view_->ScrollToAnchor(name, std::move(done));
}

void ThreadTab::FocusDocument() {
  view_->FocusDocument();
}

void ThreadTab::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (owner_ != nullptr) owner_->TabCaptionChanged(*this);
}

void ThreadTab::LinkFollowed(const std::string& url) {
  const LinkAction action = ClassifyLink(url);
  switch (action.kind) {
    case LinkAction::kNone:
      break;
    case LinkAction::kMenu:
      menuReplyNumber_ = action.menuNumber;
      if (owner_ != nullptr) owner_->ReplyMenuRequested(QCursor::pos());
      break;
    case LinkAction::kJump:
      JumpTo(action.anchor);
      break;
    case LinkAction::kShowAll:
      oldShown_ = 0;
      Rerender(std::string());
      break;
    case LinkAction::kOpenThread:
      if (owner_ != nullptr) {
        owner_->ThreadLinkFollowed(action.boardDir, action.datName, action.anchor,
                                   action.firstUnread, action.title);
      }
      break;
    case LinkAction::kExternal:
      OpenExternally(action.url);
      break;
  }
}

void ThreadTab::OpenExternally(const std::string& url) {
  if (!IsExternalLinkAllowed(url)) return;
  const QString text = FromSjis(url);
  const std::string& program = AppSettings().browserApp;
  if (program.empty()) {
    QDesktopServices::openUrl(QUrl(text));
  } else {
    QProcess::startDetached(FromSjis(program), {text});
  }
}

void ThreadTab::LinkHovered(const std::string& statusText) {
  const HoverAction action = HoverPopup(replies_, statusText, PopupMaxLines());
  switch (action.kind) {
    case HoverAction::kHide:
      AppPopup().HidePopup();
      break;
    case HoverAction::kKeep:
      break;
    case HoverAction::kShow:
      AppPopup().ShowText(action.text, QCursor::pos());
      break;
  }
}

bool ThreadTab::SelectionContextMenu(const std::string& selectedText) {
  const std::string_view text = TrimView(selectedText);
  if (text.empty()) return false;
  const std::string popup = BuildSelectionPopupText(replies_, text, PopupMaxLines());
  if (popup.empty()) return false;
  AppPopup().ShowText(popup, QCursor::pos());
  return true;
}

}  // namespace velkor
