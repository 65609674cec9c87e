#include "threads/ui/ThreadTab.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>
#include <span>

#include "app/Settings.h"
#include "app/UiHooks.h"
#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "subjects/SubjectList.h"
#include "subjects/ThreadState.h"
#include "subjects/TitleText.h"
#include "threads/AutoReloadSchedule.h"
#include "threads/DatRenderer.h"
#include "threads/NextThreadsOnBoard.h"
#include "threads/NgPage.h"
#include "threads/NgRuleFile.h"
#include "threads/PopupText.h"
#include "threads/StoredThreadPopups.h"
#include "threads/ThreadLinks.h"
#include "threads/ThreadRefetch.h"
#include "threads/ui/FetchFailurePanel.h"
#include "threads/ui/NextThreadBar.h"
#include "threads/ui/PageContextMenu.h"
#include "threads/ui/PopupWindow.h"
#include "threads/ui/TNgForm.h"
#include "threads/ui/ThreadAutoReload.h"
#include "threads/ui/ThreadPosting.h"
#include "threads/ui/ThreadTabExtension.h"
#include "threads/ui/ThreadTabOwner.h"
#include "threads/ui/ThreadView.h"

namespace velkor {

namespace {

void ReportIniFailure(const std::string& path) {
  Ui().SetStatusText(Sjis("エラー:") + path + Sjis(" を書き込めませんでした."));
}

ThreadTabExtension* extension = nullptr;

}  // namespace

ThreadTab::ThreadTab(ThreadTabOwner* owner, QWidget* parent)
    : QWidget(parent),
      owner_(owner),
      nextThreads_(new NextThreadBar(this)),
      view_(new ThreadView(this)),
      failure_(new FetchFailurePanel(this)),
      autoReload_(new ThreadAutoReload(*this)),
      writeButton_(new QToolButton(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* bar = new QHBoxLayout();
  bar->setContentsMargins(0, 0, 2, 0);
  bar->addStretch(1);
  writeButton_->setObjectName(QStringLiteral("writeButton"));
  writeButton_->setText(QString::fromUtf8("書き込み"));
  writeButton_->setAutoRaise(true);
  writeButton_->setVisible(false);
  bar->addWidget(writeButton_);
  layout->addLayout(bar);
  layout->addWidget(nextThreads_);
  layout->addWidget(view_, 1);
  layout->addWidget(failure_, 1);
  failure_->hide();
  // Queued: the retry's download lets the window run, which may close this tab meanwhile.
  connect(
      failure_, &FetchFailurePanel::RetryClicked, this,
      [this] {
        const std::function<void()> retry = retry_;
        if (retry) retry();
      },
      Qt::QueuedConnection);
  connect(writeButton_, &QToolButton::clicked, this, [this] { ReplyTo(0); });
  connect(autoReload_, &ThreadAutoReload::StateChanged, this, &ThreadTab::AutoReloadChanged);
  // Both may wait for a server: they run from the event loop, not inside the bar's click.
  connect(nextThreads_, &NextThreadBar::CandidateChosen, this, [this](int index) {
    QTimer::singleShot(0, this, [this, index] { NextThreadChosen(index); });
  });
  connect(nextThreads_, &NextThreadBar::SearchAgainRequested, this,
          [this] { QTimer::singleShot(0, this, &ThreadTab::SearchNextThreadsAgain); });
  connect(view_, &ThreadView::LinkFollowed, this,
          [this](const QString& url) { LinkFollowed(ToSjis(url)); });
  connect(view_, &ThreadView::LinkUnderMouse, this,
          [this](const QString& url) { LinkHovered(ToSjis(url)); });
  view_->SetContextMenuHandler(
      [this](const QString& selection) { return SelectionContextMenu(ToSjis(selection)); });
  view_->SetMenuProvider(
      [this](const ThreadView::PageClick& click) { PageContextMenu::Open(*this, click); });
  connect(view_, &ThreadView::DocumentLoaded, this, [this](bool ok) {
    if (!ok) return;
    if (extension != nullptr) extension->PageLoaded(*this);
  });
  connect(view_, &ThreadView::DecorationUnderMouse, this, &ThreadTab::DecorationHovered);
  LiveTabs().push_back(this);
  WriteDocument(std::string());
}

ThreadTab::~ThreadTab() {
  std::erase(LiveTabs(), this);
}

std::vector<ThreadTab*>& ThreadTab::LiveTabs() {
  static std::vector<ThreadTab*> tabs;
  return tabs;
}

void ThreadTab::ReapplyNgRulesInAllTabs() {
  const std::vector<ThreadTab*> tabs = LiveTabs();
  for (ThreadTab* tab : tabs) tab->ReapplyNgRules();
}

void ThreadTab::SetExtension(ThreadTabExtension* installed) {
  extension = installed;
}

void ThreadTab::ShowThread(const std::string& boardDir, const std::string& datName,
                           const std::string& anchor, int firstUnread, const std::string& title) {
  const bool sameThread = boardDir == boardDir_ && datName == datName_;
  if (!sameThread) {
    jumps_.Clear();
    autoReload_->Stop();
    nextThreads_->hide();
  }
  markerHeld_ = false;
  boardDir_ = boardDir;
  datName_ = datName;
  firstUnread_ = firstUnread;
  oldShown_ = kOldShown;
  LoadReplies(replies_, boardDir + datName);
  if (!sameThread) seenReplies_ = std::clamp(firstUnread - 1, 0, replies_.Count());
  ApplyNgRules();
  UpdateWriteButton();
  const std::string html = RenderShown(title, firstUnread, kOldShown);
  RecordHistory(boardDir + datName, title);
  WriteDocument(html, anchor);
  JumpTo(anchor);
  FocusDocument();
  UpdateNextThreads();
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
  jumps_.Clear();
  autoReload_->Stop();
  nextThreads_->hide();
  boardDir_.clear();
  datName_.clear();
  LoadOwnPosts();
  UpdateWriteButton();
  WriteDocument(html);
  FocusDocument();
}

void ThreadTab::ShowFailure(const std::string& boardDir, const std::string& datName,
                            const std::string& reason, std::function<void()> retry) {
  WriteDocument(std::string());
  boardDir_ = boardDir;
  datName_ = datName;
  firstUnread_ = 1;
  oldShown_ = kOldShown;
  RecordHistory(boardDir + datName, caption_);
  replies_.Clear();
  ng_.reset();
  answers_ = ReplyAnswers(replies_);
  ids_ = PosterIds(replies_);
  retry_ = std::move(retry);
  failure_->SetReason(reason);
  view_->hide();
  failure_->show();
}

void ThreadTab::SetAutoReload(bool on) {
  if (!on) {
    autoReload_->Stop();
    return;
  }
  if (boardDir_.empty() || datName_.empty() || autoReload_->IsOn() || autoReload_->Start()) return;
  switch (autoReload_->Schedule().OffReason()) {
    case AutoReloadSchedule::Off::kFull:
      Ui().SetStatusText(Sjis("自動更新できません: このスレッドは1000に達しています"));
      break;
    case AutoReloadSchedule::Off::kPast:
      Ui().SetStatusText(Sjis("自動更新できません: このスレッドは過去ログです"));
      break;
    default:
      break;
  }
}

bool ThreadTab::AutoReloading() const {
  return autoReload_->IsOn();
}

void ThreadTab::AutoReloadChanged() {
  view_->SetKeepActive(AutoReloading());
  if (owner_ != nullptr) owner_->TabCaptionChanged(*this);
  switch (autoReload_->Schedule().OffReason()) {
    case AutoReloadSchedule::Off::kNone:
      if (!nextThreads_->ShowsCandidates()) nextThreads_->hide();
      break;
    case AutoReloadSchedule::Off::kNothingNew: {
      const std::string text = "自動更新を止めました: 新着のない更新が" +
                               std::to_string(AutoReloadSchedule::kEmptyReloadsBeforeStop) +
                               "回続きました";
      nextThreads_->ShowMessage(QString::fromStdString(text));
      Ui().SetStatusText(Sjis(text));
      break;
    }
    case AutoReloadSchedule::Off::kFull:
      Ui().SetStatusText(Sjis("自動更新を止めました: このスレッドは1000に達しました"));
      UpdateNextThreads();
      break;
    case AutoReloadSchedule::Off::kPast:
      Ui().SetStatusText(Sjis("自動更新を止めました: このスレッドは過去ログになりました"));
      UpdateNextThreads();
      break;
    case AutoReloadSchedule::Off::kNeverOn:
    case AutoReloadSchedule::Off::kByUser:
      break;
  }
}

void ThreadTab::ShowReloadedReplies() {
  if (boardDir_.empty() || datName_.empty()) return;
  const int before = replies_.Count();
  // The page keeps the read replies it shows: the same first one after the new marker.
  const long long read = std::max(0LL, std::min<long long>(firstUnread_, before + 1LL) - 1);
  const long long start = oldShown_ > 0 && oldShown_ < read ? read - oldShown_ : 0;
  LoadReplies(replies_, boardDir_ + datName_);
  ApplyNgRules();
  if (replies_.Count() > before) {
    if (!markerHeld_) firstUnread_ = before + 1;
    if (!isVisible()) markerHeld_ = true;
    const long long newRead = std::min<long long>(firstUnread_, replies_.Count() + 1LL) - 1;
    oldShown_ = start > 0 ? static_cast<int>(newRead - start) : 0;
    ThreadState state(boardDir_, datName_, ShownSubjects());
    if (firstUnread_ > state.FirstUnread() && !state.StoreFirstUnread(firstUnread_)) {
      ReportIniFailure(state.FilePath());
    }
  }
  document_ = RenderShown(caption_, firstUnread_, oldShown_);
  // A hidden page is drawn when it is shown: nobody reads it meanwhile.
  stalePage_ = !isVisible();
  if (!stalePage_) {
    UpdateDecorations();
    view_->RewriteKeepingReply(document_, std::string(kUnreadAnchor));
  }
  if (owner_ != nullptr) owner_->TabThreadStateChanged(*this);
  UpdateNextThreads();
}

void ThreadTab::UpdateNextThreads() {
  if (boardDir_.empty() || datName_.empty()) return;
  SubjectList* shown = ShownSubjects();
  const ThreadState state(boardDir_, datName_, shown);
  const bool full = replies_.Count() >= AutoReloadSchedule::kFullThread;
  if (!full && !state.IsPast()) {
    if (nextThreads_->ShowsCandidates()) nextThreads_->hide();
    return;
  }
  SubjectList own;
  const SubjectList* list = shown;
  if (list == nullptr || !list->IsBound() || list->Dir() != boardDir_) {
    own.Bind(SubjectIniPath(boardDir_));
    list = &own;
  }
  const std::string title = caption_.empty() ? state.Title() : caption_;
  nextThreads_->ShowCandidates(
      full ? QString::fromUtf8("このスレッドは1000に達しました。次スレ候補:")
           : QString::fromUtf8("このスレッドは過去ログです。次スレ候補:"),
      NextThreadsOnBoard(*list, datName_, title));
}

void ThreadTab::NextThreadChosen(int index) {
  const std::vector<NextThreadCandidate>& candidates = nextThreads_->Candidates();
  if (owner_ == nullptr || boardDir_.empty() || index < 0 ||
      static_cast<std::size_t>(index) >= candidates.size()) {
    return;
  }
  const NextThreadCandidate chosen = candidates[static_cast<std::size_t>(index)];
  owner_->BoardThreadChosen(boardDir_, chosen.key + ".dat", chosen.title);
}

void ThreadTab::SearchNextThreadsAgain() {
  if (owner_ == nullptr || boardDir_.empty()) return;
  QPointer<ThreadTab> self(this);
  owner_->BoardListWanted(boardDir_);
  if (!self.isNull()) UpdateNextThreads();
}

bool ThreadTab::NetworkBusy() const {
  return owner_ != nullptr && owner_->NetworkBusy();
}

void ThreadTab::showEvent(QShowEvent* event) {
  markerHeld_ = false;
  QWidget::showEvent(event);
  if (stalePage_) {
    stalePage_ = false;
    UpdateDecorations();
    view_->RewriteKeepingReply(document_, std::string(kUnreadAnchor));
  }
  CountUnseenAnswers();
}

void ThreadTab::Rerender(const std::string& anchor) {
  WriteDocument(RenderShown(caption_, firstUnread_, oldShown_), anchor);
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

void ThreadTab::Reload() {
  // A second reload asked for while the first downloads (the window runs meanwhile) waits for
  // nothing: the first brings the replies.
  if (boardDir_.empty() || datName_.empty() || reloading_) return;
  const std::string boardDir = boardDir_;
  const std::string datName = datName_;
  QPointer<ThreadTab> self(this);
  reloading_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const ThreadRefetch refetched = RefetchThread(boardDir, datName, ShownSubjects());
  QApplication::restoreOverrideCursor();
  // The download let the window run: the tab may be gone or show something else by now.
  if (self.isNull()) return;
  reloading_ = false;
  if (owner_ != nullptr) owner_->TabThreadStateChanged(*this);
  if (!refetched.cacheServerWarning.empty()) {
    AppDialogs().ShowMessage(nullptr, QMessageBox::Warning, FromSjis(Sjis("警告")),
                             FromSjis(refetched.cacheServerWarning));
  }
  const UpdateResult& result = refetched.fetch.result;
  if (result.Code() == Update::kNotWritten) Ui().SetStatusText(result.Reason());
  if (boardDir_ != boardDir || datName_ != datName) return;
  if (result.Code() != Update::kOk) return;
  LoadReplies(replies_, boardDir_ + datName_);
  ApplyNgRules();
  document_ = RenderShown(caption_, firstUnread_, oldShown_);
  UpdateDecorations();
  view_->RewriteDocument(document_);
  if (refetched.fetch.added > 0) {
    Ui().SetStatusText(Sjis("新着レス ") + std::to_string(refetched.fetch.added) + Sjis(" 件"));
  }
}

void ThreadTab::RecordSpot() {
  QPointer<ThreadTab> self(this);
  view_->ReadSpot([self](std::optional<ReadingSpot> spot) {
    if (!self.isNull() && spot) self->jumps_.Record(*spot);
  });
}

void ThreadTab::GoBack() {
  if (!jumps_.CanGoBack()) return;
  QPointer<ThreadTab> self(this);
  view_->ReadSpot([self](std::optional<ReadingSpot> spot) {
    if (self.isNull() || !spot) return;
    if (const std::optional<ReadingSpot> target = self->jumps_.Back(*spot)) {
      self->GoToSpot(*target);
    }
  });
}

void ThreadTab::GoForward() {
  if (!jumps_.CanGoForward()) return;
  QPointer<ThreadTab> self(this);
  view_->ReadSpot([self](std::optional<ReadingSpot> spot) {
    if (self.isNull() || !spot) return;
    if (const std::optional<ReadingSpot> target = self->jumps_.Forward(*spot)) {
      self->GoToSpot(*target);
    }
  });
}

void ThreadTab::GoToSpot(ReadingSpot spot) {
  const std::string anchor = spot.reply > 0 ? "a" + std::to_string(spot.reply) : std::string();
  QPointer<ThreadTab> self(this);
  view_->ScrollToAnchor(anchor, spot.offset, [self, anchor, spot](int result) {
    if (self.isNull() || result != ThreadView::kAnchorNotFound || self->oldShown_ == 0) return;
    self->oldShown_ = 0;
    self->WriteDocument(self->RenderShown(self->caption_, self->firstUnread_, 0));
    self->view_->ScrollToAnchor(anchor, spot.offset, {});
  });
}

ThreadTab::Snapshot ThreadTab::TakeSnapshot() const {
  Snapshot snapshot;
  snapshot.caption = caption_;
  snapshot.boardDir = boardDir_;
  snapshot.datName = datName_;
  if (boardDir_.empty() || datName_.empty()) snapshot.html = document_;
  snapshot.firstUnread = firstUnread_;
  snapshot.oldShown = oldShown_;
  snapshot.scroll = view_->page()->scrollPosition();
  snapshot.place = view_->Place();
  return snapshot;
}

void ThreadTab::ShowSnapshot(const Snapshot& snapshot) {
  SetCaption(snapshot.caption);
  if (snapshot.boardDir.empty() || snapshot.datName.empty()) {
    ShowHtml(snapshot.html);
  } else {
    jumps_.Clear();
    boardDir_ = snapshot.boardDir;
    datName_ = snapshot.datName;
    firstUnread_ = snapshot.firstUnread;
    oldShown_ = snapshot.oldShown;
    LoadReplies(replies_, boardDir_ + datName_);
    ApplyNgRules();
    RecordHistory(boardDir_ + datName_, caption_);
    WriteDocument(RenderShown(caption_, firstUnread_, oldShown_));
    FocusDocument();
  }
  if (snapshot.place.reply > 0 && !boardDir_.empty()) {
    view_->ScrollToAnchor("a" + std::to_string(snapshot.place.reply),
                          static_cast<int>(std::lround(-snapshot.place.offset)), {});
  } else {
    view_->ScrollToAnchor(std::string(), static_cast<int>(snapshot.scroll.y()), {});
  }
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
  ShowThread(dir, file, std::string(kUnreadAnchor), unread, title);
}

void ThreadTab::SetBookmark() {
  if (boardDir_.empty() || datName_.empty()) return;
  firstUnread_ = menuReplyNumber_;
  ThreadState state(boardDir_, datName_, ShownSubjects());
  if (!state.StoreFirstUnread(firstUnread_)) ReportIniFailure(state.FilePath());
  if (owner_ != nullptr) owner_->TabThreadStateChanged(*this);
  Rerender(std::string(kUnreadAnchor));
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

void ThreadTab::WriteDocument(const std::string& html, const std::string& anchor) {
  // The pop-ups showed the page being replaced.
  AppPopup().HidePopup();
  failure_->hide();
  retry_ = nullptr;
  view_->show();
  stalePage_ = false;
  document_ = html;
  UpdateDecorations();
  view_->WriteDocument(html, anchor);
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
  if (extension != nullptr && extension->LinkFollowed(*this, url)) return;
  const LinkAction action = ClassifyLink(url);
  switch (action.kind) {
    case LinkAction::kNone:
      break;
    case LinkAction::kMenu:
      menuReplyNumber_ = action.menuNumber;
      if (owner_ != nullptr) owner_->ReplyMenuRequested(QCursor::pos());
      break;
    case LinkAction::kJump:
      RecordSpot();
      JumpTo(action.anchor);
      break;
    case LinkAction::kShowAll:
      RecordSpot();
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
      // From search results or a report, a thread of a board the program reads opens in it.
      if (boardDir_.empty() && owner_ != nullptr && url.find(kReadCgiPath) != std::string::npos) {
        const std::optional<ThreadLinkTarget> target = LocateThread(url);
        if (target &&
            owner_->UnstoredThreadLinkFollowed(target->boardDir, target->datName, target->anchor)) {
          break;
        }
      }
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
  if (extension != nullptr && extension->LinkHovered(*this, statusText)) return;
  const HoverAction action =
      FilteredHoverPopup(replies_, ng_ ? &*ng_ : nullptr, statusText, PopupMaxLines());
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
  std::optional<StoredThreadLink> stored;
  if (statusText.find(kReadCgiPath) != std::string::npos &&
      (stored = FindStoredThread(statusText))) {
    // Anchors in a pop-up of another thread point into that thread.
    auto other = std::make_shared<StoredThreadPopups>(stored->boardDir + stored->datName);
    return [other](const std::string& spec) { return other->PopupText(spec, PopupMaxLines()); };
  }
  QPointer<const ThreadTab> self(this);
  return [self](const std::string& spec) {
    return self.isNull() ? std::string() : self->ShownPopupText(spec);
  };
}

bool ThreadTab::SelectionContextMenu(const std::string& selectedText) {
  const std::string_view text = TrimView(selectedText);
  if (text.empty()) return false;
  const std::string popup = BuildSelectionPopupText(ShownReplies(), text, PopupMaxLines());
  if (popup.empty()) return false;
  AppPopup().ShowText(popup, QCursor::pos(), PopupAnchorResolver(std::string()));
  return true;
}

void ThreadTab::ApplyNgRules() {
  std::vector<NgRuleFile::Problem> problems;
  const NgFilter filter = LoadNgFilterFor(boardDir_ + datName_, &problems);
  // A rule file damaged by hand says so where the user looks; its good rules still apply.
  if (!problems.empty()) Ui().SetStatusText(Sjis("警告:") + NgProblemText(problems.front()));
  if (filter.Empty()) {
    ng_.reset();
  } else {
    ng_ = filter.Apply(replies_);
    if (!ng_->switchedOff.empty()) Ui().SetStatusText(NgSwitchedOffText(ng_->switchedOff));
  }
  answers_ = ReplyAnswers(ShownReplies());
  ids_ = PosterIds(ShownReplies());
  LoadOwnPosts();
}

void ThreadTab::LoadOwnPosts() {
  own_.clear();
  answersToOwn_.clear();
  ThreadPosting* posting = InstalledThreadPosting();
  if (posting != nullptr && !boardDir_.empty() && !datName_.empty()) {
    auto read = posting->OwnReplies(boardDir_, datName_);
    if (read.IsOk()) {
      own_ = std::move(read).Value();
    } else {
      Ui().SetStatusText(read.Reason());
    }
  }
  for (int k : own_) {
    const auto answers = answers_.AnswersTo(k);
    answersToOwn_.insert(answersToOwn_.end(), answers.begin(), answers.end());
  }
  std::sort(answersToOwn_.begin(), answersToOwn_.end());
  answersToOwn_.erase(std::unique(answersToOwn_.begin(), answersToOwn_.end()), answersToOwn_.end());
  CountUnseenAnswers();
}

void ThreadTab::CountUnseenAnswers() {
  if (isVisible()) seenReplies_ = replies_.Count();
  const auto unseen = std::count_if(answersToOwn_.begin(), answersToOwn_.end(),
                                    [this](int k) { return k > seenReplies_; });
  if (unseen == unseenAnswersToOwn_) return;
  unseenAnswersToOwn_ = static_cast<int>(unseen);
  if (owner_ != nullptr) owner_->TabCaptionChanged(*this);
}

bool ThreadTab::IsOwnReply(int number) const {
  return std::binary_search(own_.begin(), own_.end(), number);
}

void ThreadTab::SetOwnReply(int number, bool own) {
  ThreadPosting* posting = InstalledThreadPosting();
  if (posting == nullptr || boardDir_.empty() || datName_.empty()) return;
  if (Outcome marked = posting->MarkOwnReply(boardDir_, datName_, number, own); !marked.IsOk()) {
    Ui().SetStatusText(marked.Reason());
    return;
  }
  LoadOwnPosts();
  UpdateDecorations();
  view_->RewriteDocument(document_);
}

void ThreadTab::ReplyTo(int replyNumber) {
  ThreadPosting* posting = InstalledThreadPosting();
  if (posting == nullptr || boardDir_.empty() || datName_.empty()) return;
  posting->OpenReplyWindow(*this, replyNumber);
}

void ThreadTab::UpdateWriteButton() {
  writeButton_->setVisible(InstalledThreadPosting() != nullptr && !boardDir_.empty() &&
                           !datName_.empty());
}

std::string ThreadTab::RenderShown(const std::string& title, int firstUnread, int oldShown) const {
  if (!ng_) return RenderPage(replies_, title, firstUnread, oldShown);
  return RenderFilteredPage(AppSkin(), *ng_, title, firstUnread, oldShown);
}

std::string ThreadTab::ShownPopupText(const std::string& spec) const {
  if (!ng_) return BuildPopupText(replies_, spec, PopupMaxLines());
  return BuildFilteredPopupText(*ng_, spec, PopupMaxLines());
}

void ThreadTab::ReapplyNgRules() {
  if (boardDir_.empty() || datName_.empty()) return;
  ApplyNgRules();
  stalePage_ = false;
  document_ = RenderShown(caption_, firstUnread_, oldShown_);
  UpdateDecorations();
  view_->RewriteDocument(document_);
}

void ThreadTab::UpdateDecorations() {
  view_->SetDecorations(boardDir_.empty() || datName_.empty() ? QJsonObject() : Decorations());
}

QJsonObject ThreadTab::Decorations() const {
  const int threshold = AppSettings().heavyPosterThreshold;
  QJsonObject decorations;
  const ReplyList& shown = ShownReplies();
  for (int k = 1; k <= shown.Count(); ++k) {
    QJsonObject reply;
    const std::size_t answers = answers_.AnswersTo(k).size();
    if (answers > 0) reply.insert(QStringLiteral("answers"), static_cast<int>(answers));
    if (IsOwnReply(k)) reply.insert(QStringLiteral("own"), true);
    if (std::binary_search(answersToOwn_.begin(), answersToOwn_.end(), k)) {
      reply.insert(QStringLiteral("toOwn"), true);
    }
    const PosterIds::Poster* poster = ids_.PosterOf(k);
    if (poster != nullptr) {
      reply.insert(QStringLiteral("id"), FromSjis(poster->id));
      reply.insert(QStringLiteral("position"), ids_.PositionOf(k));
      reply.insert(QStringLiteral("count"), ids_.CountOf(k));
      reply.insert(QStringLiteral("heavy"), threshold > 0 && ids_.CountOf(k) >= threshold);
    }
    if (!reply.isEmpty()) decorations.insert(QString::number(k), reply);
  }
  return decorations;
}

void ThreadTab::DecorationHovered(const QString& kind, int reply) {
  std::string spec;
  const auto join = [&spec](std::span<const int> numbers) {
    for (int number : numbers) {
      if (!spec.empty()) spec += ',';
      spec += std::to_string(number);
    }
  };
  if (kind == QLatin1String("answers")) {
    join(answers_.AnswersTo(reply));
  } else if (kind == QLatin1String("id")) {
    const PosterIds::Poster* poster = ids_.PosterOf(reply);
    if (poster != nullptr) join(poster->replies);
  }
  const std::string text = spec.empty() ? std::string() : ShownPopupText(spec);
  if (text.empty()) {
    AppPopup().HideHover();
    return;
  }
  AppPopup().ShowHover(text, QCursor::pos(), PopupAnchorResolver(std::string()));
}

void ThreadTab::AddNgRuleFromMenu(NgKind kind, const std::string& selection, QPoint pos) {
  if (!selection.empty()) {
    AddNgRuleWithPattern(kind, selection);
    return;
  }
  if (kind == NgKind::kWord) return;
  QPointer<ThreadTab> self(this);
  view_->ReplyAt(pos, [self, kind](int reply) {
    if (!self.isNull()) self->AddNgRuleForReply(kind, reply);
  });
}

std::string ThreadTab::NgPatternOf(NgKind kind, int reply) const {
  if (reply < 1 || reply > replies_.Count()) return {};
  if (kind == NgKind::kName) return std::string(TrimView(NgVisibleText(replies_.Name(reply))));
  if (kind == NgKind::kId) return std::string(ReplyIdOf(replies_.Date(reply)));
  return {};
}

void ThreadTab::AddNgRuleForReply(NgKind kind, int reply) {
  if (reply < 1 || reply > replies_.Count()) return;
  const std::string pattern = NgPatternOf(kind, reply);
  if (pattern.empty()) {
    Ui().SetStatusText(Sjis("警告:") + std::to_string(reply) +
                       Sjis(" には追加できる値がありません."));
    return;
  }
  AddNgRuleWithPattern(kind, pattern);
}

void ThreadTab::AddNgRuleWithPattern(NgKind kind, const std::string& pattern) {
  NgRule rule;
  rule.kind = kind;
  rule.pattern = pattern;
  if (kind == NgKind::kId) rule.board = NgBoardOfLogPath(boardDir_);
  if (const Result<NgRuleFileCode> added = AddNgRule(rule); !added.IsOk()) {
    Ui().SetStatusText(added.Reason());
  }
}

}  // namespace velkor
