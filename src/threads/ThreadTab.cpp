#include "threads/ThreadTab.h"

#include <QCursor>
#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "app/Settings.h"
#include "app/UiHooks.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "gui/GuiText.h"
#include "subjects/SubjectList.h"
#include "threads/DatRenderer.h"
#include "threads/PopupText.h"
#include "threads/PopupWindow.h"
#include "threads/ThreadLinks.h"
#include "threads/ThreadTabOwner.h"
#include "threads/ThreadView.h"

namespace velkor {

namespace {

// A dat name as the log tree stores them: "<decimal>.dat".
bool IsDatName(const std::string& name) {
  constexpr std::string_view kExt = ".dat";
  if (name.size() <= kExt.size() || name.compare(name.size() - kExt.size(), kExt.size(), kExt)) {
    return false;
  }
  return std::all_of(name.begin(), name.end() - kExt.size(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

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
  IniDocument ini;
  ini.Load(dir + "subject.ini");
  const int unread = static_cast<int>(ini.ReadInteger(file, "Unread", 1));
  ShowThread(dir, file, "midoku", unread, title);
}

void ThreadTab::SetBookmark() {
  if (boardDir_.empty() || datName_.empty()) return;
  firstUnread_ = menuReplyNumber_;
  SubjectList* shown = owner_ != nullptr ? owner_->ShownSubjects() : nullptr;
  if (shown != nullptr && shown->IsBound() && shown->Dir() == boardDir_) {
    const int row = shown->IndexOfDat(datName_);
    if (row < 0) {
      shown->SetUnread(datName_, firstUnread_, true);
    } else {
      shown->SetUnreadAt(static_cast<std::size_t>(row), datName_, true, firstUnread_);
    }
  } else {
    WriteUnreadToIni(firstUnread_);
  }
  if (owner_ != nullptr) owner_->TabThreadStateChanged(*this);
  Rerender("midoku");
}

bool ThreadTab::WriteUnreadToIni(int firstUnread) {
  const std::string path = boardDir_ + "subject.ini";
  IniDocument ini;
  // A state file that exists but cannot be read must not be replaced by this one value.
  if (!ini.Load(path) && FileExists(path)) {
    ReportIniFailure(path);
    return false;
  }
  ini.WriteInteger(datName_, "Unread", firstUnread);
  if (!ini.Save(path)) {
    ReportIniFailure(path);
    return false;
  }
  return true;
}

void ThreadTab::DeleteThreadLog() {
  if (boardDir_.empty() || !IsDatName(datName_)) return;
  SubjectList* shown = owner_ != nullptr ? owner_->ShownSubjects() : nullptr;
  if (shown != nullptr && shown->IsBound() && shown->Dir() == boardDir_) {
    const int row = shown->IndexOfDat(datName_);
    if (row < 0) {
      shown->ResetThread(datName_, true);
    } else {
      shown->DeleteLog(static_cast<std::size_t>(row), datName_, true);
    }
  } else {
    ResetThreadInIni();
  }
  if (owner_ != nullptr) owner_->TabThreadStateChanged(*this);
}

bool ThreadTab::ResetThreadInIni() {
  RemoveFile(boardDir_ + datName_);
  const std::string path = boardDir_ + "subject.ini";
  IniDocument ini;
  if (!ini.Load(path) && FileExists(path)) {
    ReportIniFailure(path);
    return false;
  }
  ini.WriteInteger(datName_, "GotCount", 0);
  ini.WriteInteger(datName_, "Unread", 1);
  ini.WriteString(datName_, "LastModified", "");
  ini.WriteInteger(datName_, "DatSize", 0);
  if (!ini.Save(path)) {
    ReportIniFailure(path);
    return false;
  }
  return true;
}

std::string ThreadTab::ThreadUrl() const {
  std::string_view dir = boardDir_;
  if (!dir.empty() && dir.back() == '/') dir.remove_suffix(1);
  std::size_t slash = dir.rfind('/');
  const std::string_view board = slash == std::string_view::npos ? dir : dir.substr(slash + 1);
  dir = slash == std::string_view::npos ? std::string_view() : dir.substr(0, slash);
  slash = dir.rfind('/');
  const std::string_view host = slash == std::string_view::npos ? dir : dir.substr(slash + 1);
  const std::size_t dot = datName_.rfind('.');
  const std::string key = datName_.substr(0, dot);
  std::string url = "http://";
  url.append(host).append("/test/read.cgi/").append(board).append("/").append(key);
  return url;
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
      AppPopup().HideHover();
      break;
    case HoverAction::kKeep:
      break;
    case HoverAction::kShow:
      AppPopup().ShowHover(action.text, QCursor::pos(), PopupAnchorResolver(statusText));
      break;
  }
}

PopupWindow::AnchorResolver ThreadTab::PopupAnchorResolver(const std::string& statusText) const {
  StoredThreadLink stored;
  if (statusText.find("/test/read.cgi/") != std::string::npos &&
      FindStoredThread(statusText, stored)) {
    // Anchors in a pop-up of another thread point into that thread.
    auto other = std::make_shared<ReplyList>();
    LoadReplies(*other, stored.boardDir + stored.datName);
    return
        [other](const std::string& spec) { return BuildPopupText(*other, spec, PopupMaxLines()); };
  }
  QPointer<const ThreadTab> self(this);
  return [self](const std::string& spec) {
    return self.isNull() ? std::string() : BuildPopupText(self->replies_, spec, PopupMaxLines());
  };
}

bool ThreadTab::SelectionContextMenu(const std::string& selectedText) {
  const std::string_view text = TrimView(selectedText);
  if (text.empty()) return false;
  const std::string popup = BuildSelectionPopupText(replies_, text, PopupMaxLines());
  if (popup.empty()) return false;
  AppPopup().ShowText(popup, QCursor::pos(), PopupAnchorResolver(std::string()));
  return true;
}

}  // namespace velkor
