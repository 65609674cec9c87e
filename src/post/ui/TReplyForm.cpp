#include "post/ui/TReplyForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <ctime>
#include <tuple>

#include "app/AppConfig.h"
#include "app/UiHooks.h"
#include "base/Sjis.h"
#include "gui/Dialogs.h"
#include "gui/GuiText.h"
#include "post/PostFlow.h"
#include "post/PostForm.h"
#include "post/PostHistory.h"
#include "post/PostPreview.h"
#include "post/ui/TPostConfirmForm.h"
#include "subjects/ThreadState.h"
#include "subjects/TitleText.h"
#include "threads/DatRenderer.h"
#include "threads/Skin.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"

namespace velkor {
namespace {

// Whether the message is shown in a fixed-pitch font: config.ini [Kodawari] PostMonospace.
constexpr char kConfigSection[] = "Kodawari";
constexpr char kMonospaceKey[] = "PostMonospace";
// How long typing may pause before the draft is written.
constexpr int kDraftDelayMs = 1000;

QString FromUtf8(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string Utf8Of(const QString& text) {
  return text.toUtf8().toStdString();
}

// Typed text as the CP932 a post sends (character references for what CP932 lacks); text that
// cannot be converted is taken lossily (only the counts and the preview use this).
std::string PostTextOf(const std::string& utf8) {
  auto converted = Utf8ToPostText(utf8);
  return converted.IsOk() ? std::move(converted).Value() : Utf8ToSjisLossy(utf8);
}

QFont MessageFont(bool monospace) {
  if (!monospace) return GothicFont();
  QFont font;
  font.setFamilies({QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                    QStringLiteral("monospace")});
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  return font;
}

// "123/2048" against a limit, "123" without one.
QString Against(std::size_t size, int limit) {
  if (limit <= 0) return QString::number(size);
  return QStringLiteral("%1/%2").arg(size).arg(limit);
}

bool Over(std::size_t size, int limit) {
  return limit > 0 && size > static_cast<std::size_t>(limit);
}

}  // namespace

TReplyForm::TReplyForm(std::string boardUrl, std::string boardDir, std::string datName,
                       std::string title, ThreadTab* tab, QWidget* parent)
    : QWidget(parent, Qt::Window),
      boardUrl_(std::move(boardUrl)),
      boardDir_(std::move(boardDir)),
      datName_(std::move(datName)),
      title_(std::move(title)),
      tab_(tab),
      draftTimer_(new QTimer(this)) {
  setObjectName(QStringLiteral("ReplyForm"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(IsNewThread() ? QString::fromUtf8("スレ立て - ") + FromSjis(boardUrl_)
                               : QString::fromUtf8("書き込み - ") +
                                     QString::fromStdString(TitleForDisplay(title_)));
  setFont(GothicFont());
  draftPath_ = DraftPath(boardUrl_, IsNewThread() ? "" : datName_.substr(0, datName_.size() - 4));
  limits_ = ParseSettingText(ReadBoardSetting(boardDir_).text);
  BuildLayout();
  RestoreDraft();
  UpdateCounts();
  UpdateButtons();
  draftTimer_->setSingleShot(true);
  draftTimer_->setInterval(kDraftDelayMs);
  connect(draftTimer_, &QTimer::timeout, this, &TReplyForm::SaveDraftNow);
  resize(560, 420);
  if (ReadBoardSetting(boardDir_).text.empty()) {
    QTimer::singleShot(0, this, &TReplyForm::FetchLimits);
  }
}

TReplyForm::~TReplyForm() {
  if (!posted_) SaveDraftNow();
}

void TReplyForm::BuildLayout() {
  auto* layout = new QVBoxLayout(this);
  auto* fields = new QGridLayout();
  int row = 0;
  if (IsNewThread()) {
    subjectEdit = new QLineEdit(this);
    subjectEdit->setObjectName(QStringLiteral("subjectEdit"));
    fields->addWidget(new QLabel(QString::fromUtf8("タイトル"), this), row, 0);
    fields->addWidget(subjectEdit, row, 1, 1, 4);
    connect(subjectEdit, &QLineEdit::textChanged, this, &TReplyForm::TypedChanged);
    ++row;
  }
  const PostHistory history(PostHistoryPath());
  const auto combo = [this](const char* name, const std::vector<std::string>& items) {
    auto* box = new QComboBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxCount(static_cast<int>(PostHistory::kSize));
    for (const std::string& item : items) box->addItem(FromUtf8(item));
    box->setEditText(QString());
    connect(box, &QComboBox::editTextChanged, this, &TReplyForm::TypedChanged);
    return box;
  };
  nameComboBox = combo("nameComboBox", history.Names());
  mailComboBox = combo("mailComboBox", history.Mails());
  sageCheckBox = new QCheckBox(QStringLiteral("sage"), this);
  sageCheckBox->setObjectName(QStringLiteral("sageCheckBox"));
  fields->addWidget(new QLabel(QString::fromUtf8("名前"), this), row, 0);
  fields->addWidget(nameComboBox, row, 1);
  fields->addWidget(new QLabel(QString::fromUtf8("メール"), this), row, 2);
  fields->addWidget(mailComboBox, row, 3);
  fields->addWidget(sageCheckBox, row, 4);
  fields->setColumnStretch(1, 3);
  fields->setColumnStretch(3, 2);
  layout->addLayout(fields);

  messagePageControl = new QTabWidget(this);
  messagePageControl->setObjectName(QStringLiteral("messagePageControl"));
  messageEdit = new QPlainTextEdit(messagePageControl);
  messageEdit->setObjectName(QStringLiteral("messageEdit"));
  messageEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  messagePageControl->addTab(messageEdit, QString::fromUtf8("本文"));
  previewPage = new QWidget(messagePageControl);
  previewPage->setObjectName(QStringLiteral("previewPage"));
  auto* previewLayout = new QVBoxLayout(previewPage);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  messagePageControl->addTab(previewPage, QString::fromUtf8("プレビュー"));
  layout->addWidget(messagePageControl, 1);

  auto* options = new QHBoxLayout();
  monospaceCheckBox = new QCheckBox(QString::fromUtf8("等幅 (AA)"), this);
  monospaceCheckBox->setObjectName(QStringLiteral("monospaceCheckBox"));
  monospaceCheckBox->setChecked(Config().ReadFlag(kConfigSection, kMonospaceKey, false));
  messageEdit->setFont(MessageFont(monospaceCheckBox->isChecked()));
  countLabel = new QLabel(this);
  countLabel->setObjectName(QStringLiteral("countLabel"));
  options->addWidget(monospaceCheckBox);
  options->addStretch(1);
  options->addWidget(countLabel);
  layout->addLayout(options);

  resultLabel = new QLabel(this);
  resultLabel->setObjectName(QStringLiteral("resultLabel"));
  resultLabel->setWordWrap(true);
  resultLabel->setTextFormat(Qt::PlainText);
  resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  resultLabel->hide();
  layout->addWidget(resultLabel);

  auto* buttons = new QHBoxLayout();
  clearButton = new QPushButton(QString::fromUtf8("クリア"), this);
  clearButton->setObjectName(QStringLiteral("clearButton"));
  clearButton->setAutoDefault(false);
  stopButton = new QPushButton(QString::fromUtf8("中止"), this);
  stopButton->setObjectName(QStringLiteral("stopButton"));
  stopButton->setAutoDefault(false);
  postButton = new QPushButton(QString::fromUtf8("書き込む"), this);
  postButton->setObjectName(QStringLiteral("postButton"));
  postButton->setAutoDefault(false);
  postButton->setToolTip(QString::fromUtf8("書き込む (Ctrl+Enter)"));
  buttons->addWidget(clearButton);
  buttons->addStretch(1);
  buttons->addWidget(stopButton);
  buttons->addWidget(postButton);
  layout->addLayout(buttons);

  connect(messageEdit, &QPlainTextEdit::textChanged, this, &TReplyForm::TypedChanged);
  connect(sageCheckBox, &QCheckBox::toggled, this, [this](bool sage) {
    if (sage) {
      mailComboBox->setEditText(QStringLiteral("sage"));
    } else if (mailComboBox->currentText() == QLatin1String("sage")) {
      mailComboBox->setEditText(QString());
    }
  });
  connect(mailComboBox, &QComboBox::editTextChanged, this, [this](const QString& mail) {
    const QSignalBlocker quiet(sageCheckBox);
    sageCheckBox->setChecked(mail == QLatin1String("sage"));
  });
  connect(monospaceCheckBox, &QCheckBox::toggled, this, [this](bool monospace) {
    messageEdit->setFont(MessageFont(monospace));
    Config().WriteFlag(kConfigSection, kMonospaceKey, monospace, true);
  });
  connect(messagePageControl, &QTabWidget::currentChanged, this, [this](int index) {
    if (messagePageControl->widget(index) == previewPage) RenderPreview();
  });
  connect(clearButton, &QPushButton::clicked, this, [this] {
    if (subjectEdit != nullptr) subjectEdit->clear();
    messageEdit->clear();
    SaveDraftNow();
  });
  connect(stopButton, &QPushButton::clicked, this, [this] {
    if (flow_ != nullptr) flow_->Stop();
    limitsContext_.abortRequested = 1;
  });
  connect(postButton, &QPushButton::clicked, this, &TReplyForm::Post);
  for (const QKeySequence& keys :
       {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, &TReplyForm::Post);
  }
}

void TReplyForm::RestoreDraft() {
  if (draftPath_.empty()) return;
  auto read = ReadDraft(draftPath_);
  if (!read.IsOk()) {
    ShowResult(read.Reason(), true);
    return;
  }
  savedDraft_ = std::move(read).Value();
  if (subjectEdit != nullptr) subjectEdit->setText(FromUtf8(savedDraft_.subject));
  nameComboBox->setEditText(FromUtf8(savedDraft_.name));
  mailComboBox->setEditText(FromUtf8(savedDraft_.mail));
  messageEdit->setPlainText(FromUtf8(savedDraft_.message));
  messageEdit->moveCursor(QTextCursor::End);
  draftTimer_->stop();
}

SavedDraft TReplyForm::Draft() const {
  SavedDraft draft;
  if (subjectEdit != nullptr) draft.subject = Utf8Of(subjectEdit->text());
  draft.name = Utf8Of(nameComboBox->currentText());
  draft.mail = Utf8Of(mailComboBox->currentText());
  draft.message = Utf8Of(messageEdit->toPlainText());
  return draft;
}

void TReplyForm::InsertAnchor(int number) {
  if (number <= 0) return;
  messagePageControl->setCurrentWidget(messageEdit);
  messageEdit->insertPlainText(QStringLiteral(">>%1\n").arg(number));
}

void TReplyForm::TypedChanged() {
  UpdateCounts();
  if (!posted_) draftTimer_->start();
  if (messagePageControl->currentWidget() == previewPage) RenderPreview();
}

void TReplyForm::SaveDraftNow() {
  draftTimer_->stop();
  if (posted_ || draftPath_.empty()) return;
  const SavedDraft draft = Draft();
  if (draft == savedDraft_ || (draft.IsEmpty() && savedDraft_.IsEmpty())) return;
  if (Outcome saved = SaveDraft(draftPath_, draft); !saved.IsOk()) {
    ShowResult(saved.Reason(), true);
    return;
  }
  savedDraft_ = draft;
}

void TReplyForm::UpdateCounts() {
  PostFields fields;
  fields.message = PostTextOf(Utf8Of(messageEdit->toPlainText()));
  if (subjectEdit != nullptr) fields.subject = PostTextOf(Utf8Of(subjectEdit->text()));
  const PostMeasure measure = MeasurePost(fields);
  QString text = QString::fromUtf8("本文 %1 バイト  %2 行")
                     .arg(Against(measure.messageBytes, limits_.messageBytes),
                          Against(measure.messageLines, MaxMessageLines(limits_)));
  bool over = Over(measure.messageBytes, limits_.messageBytes) ||
              Over(measure.messageLines, MaxMessageLines(limits_));
  if (subjectEdit != nullptr) {
    text = QString::fromUtf8("タイトル %1 バイト  ")
               .arg(Against(measure.subjectBytes, limits_.subjectBytes)) +
           text;
    over = over || Over(measure.subjectBytes, limits_.subjectBytes);
  }
  countLabel->setText(text);
  countLabel->setStyleSheet(over ? QStringLiteral("color: #d00000;") : QString());
}

void TReplyForm::UpdateButtons() {
  postButton->setEnabled(!busy_);
  clearButton->setEnabled(!busy_);
  stopButton->setEnabled(busy_);
}

int TReplyForm::NextReplyNumber() const {
  if (IsNewThread()) return 1;
  if (ThreadTab* tab = ThreadTabOfPost()) return tab->Replies().Count() + 1;
  ReplyList replies;
  LoadReplies(replies, boardDir_ + datName_);
  return replies.Count() + 1;
}

void TReplyForm::RenderPreview() {
  const SavedDraft typed = Draft();
  PostFields fields;
  fields.name = PostTextOf(typed.name);
  fields.mail = PostTextOf(typed.mail);
  fields.message = PostTextOf(typed.message);
  const std::string title = IsNewThread() ? PostTextOf(typed.subject) : title_;
  previewDocument_ = PostPreviewPage(AppSkin(), title, fields, NextReplyNumber(),
                                     limits_.nonameName, std::time(nullptr));
  if (previewView == nullptr) {
    previewView = new ThreadView(previewPage);
    previewView->setObjectName(QStringLiteral("previewView"));
    previewPage->layout()->addWidget(previewView);
  }
  previewView->WriteDocument(previewDocument_);
}

void TReplyForm::FetchLimits() {
  if (busy_ || !ReadBoardSetting(boardDir_).text.empty()) return;
  busy_ = true;
  UpdateButtons();
  limitsContext_.abortRequested = 0;
  std::vector<std::string> notes;
  limits_ = LoadBoardLimits(boardUrl_, boardDir_, limitsContext_, notes);
  busy_ = false;
  UpdateButtons();
  UpdateCounts();
  if (!notes.empty()) Ui().SetStatusText(notes.front());
}

void TReplyForm::ShowResult(const std::string& sjis, bool failure) {
  resultLabel->setText(FromSjis(sjis));
  resultLabel->setStyleSheet(failure ? QStringLiteral("color: #d00000;") : QString());
  resultLabel->setVisible(!sjis.empty());
}

QString TReplyForm::ResultText() const {
  return resultLabel->isHidden() ? QString() : resultLabel->text();
}

void TReplyForm::Post() {
  if (busy_) {
    ShowResult(Sjis("送信中です: もう一度は送りません"), true);
    return;
  }
  SaveDraftNow();
  const SavedDraft typed = Draft();
  PostDraft draft;
  draft.boardUrl = boardUrl_;
  if (!IsNewThread()) draft.key = datName_.substr(0, datName_.size() - 4);
  for (auto [from, to] :
       {std::tuple{&typed.subject, &draft.subject}, std::tuple{&typed.name, &draft.name},
        std::tuple{&typed.mail, &draft.mail}, std::tuple{&typed.message, &draft.message}}) {
    auto converted = Utf8ToPostText(*from);
    if (!converted.IsOk()) {
      ShowResult(converted.Reason(), true);
      return;
    }
    *to = std::move(converted).Value();
  }
  busy_ = true;
  UpdateButtons();
  ShowResult(std::string(), false);
  PostFlow flow(std::move(draft), ThreadTabs().ShownSubjects());
  flow_ = &flow;
  PostResult result = flow.Send();
  while (result.Code() == PostCode::kConfirm) {
    TPostConfirmForm confirm(FromSjis(result.Reason()), this);
    if (AppDialogs().Exec(confirm) != QDialog::Accepted) break;
    result = flow.Accept();
  }
  flow_ = nullptr;
  busy_ = false;
  UpdateButtons();
  // The flow may have brought the board's SETTING.TXT up to date.
  limits_ = ParseSettingText(ReadBoardSetting(boardDir_).text);
  UpdateCounts();
  Finish(result);
}

void TReplyForm::Finish(const PostResult& result) {
  std::string notes;
  for (const std::string& note : result.notes) notes += "\n" + note;
  switch (result.Code()) {
    case PostCode::kOk:
    case PostCode::kWarning: {
      posted_ = true;
      draftTimer_->stop();
      std::vector<std::string> later = result.notes;
      if (!draftPath_.empty()) {
        if (Outcome removed = RemoveDraft(draftPath_); !removed.IsOk()) {
          later.push_back(removed.Reason());
        }
      }
      const SavedDraft typed = Draft();
      PostHistory history(PostHistoryPath());
      if (Outcome kept = history.Remember(typed.name, typed.mail); !kept.IsOk()) {
        later.push_back(kept.Reason());
      }
      std::string status = Sjis("書き込みました.");
      for (const std::string& note : later) status += " " + note;
      Ui().SetStatusText(status);
      if (result.Code() == PostCode::kWarning) {
        AppDialogs().ShowMessage(nullptr, QMessageBox::Warning, QString::fromUtf8("書き込み"),
                                 FromSjis(result.Reason()));
      }
      ShowPostedThread(result);
      close();
      return;
    }
    case PostCode::kConfirm:
      ShowResult(Sjis("確認ページで取り消しました: 書き込まれていません") + notes, false);
      return;
    case PostCode::kMayHaveBeenPosted:
      ShowResult(result.Reason() + notes + "\n" +
                     Sjis("書き込めたかどうか分かりません。スレッドを確かめてから、必要なら書き込み"
                          "直してください。"),
                 true);
      ShowRefreshedThread(result);
      return;
    case PostCode::kRefused:
    case PostCode::kLocalRefused:
    case PostCode::kNotSent:
      ShowResult(result.Reason() + notes, true);
      return;
  }
}

ThreadTab* TReplyForm::ThreadTabOfPost() const {
  if (tab_.isNull() || IsNewThread()) return nullptr;
  if (tab_->BoardDir() != boardDir_ || tab_->DatName() != datName_) return nullptr;
  return tab_.data();
}

void TReplyForm::ShowPostedThread(const PostResult& result) {
  const std::string anchor =
      result.number > 0 ? "a" + std::to_string(result.number) : std::string(kUnreadAnchor);
  SubjectList* shown = ThreadTabs().ShownSubjects();
  if (IsNewThread()) {
    emit BoardListRefreshed(FromSjis(boardDir_));
    if (result.datName.empty()) return;
    const ThreadState state(boardDir_, result.datName, shown);
    std::string title = state.Title();
    if (title.empty()) title = PostTextOf(Draft().subject);
    ThreadTabs().OpenThread(boardDir_, result.datName, anchor, state.FirstUnread(),
                            TabChoice::kNewTab, title);
    MarkShownThreadRead(result.datName);
    return;
  }
  ThreadTab* tab = ThreadTabOfPost();
  const std::string title = tab != nullptr ? tab->Caption() : title_;
  const int firstUnread =
      tab != nullptr ? tab->FirstUnread() : ThreadState(boardDir_, datName_, shown).FirstUnread();
  ThreadTabs().OpenThread(boardDir_, datName_, anchor, firstUnread, TabChoice::kNewTab, title);
  MarkShownThreadRead(datName_);
}

void TReplyForm::MarkShownThreadRead(const std::string& datName) {
  ThreadTab* shown = ThreadTabs().ActiveTab();
  if (shown == nullptr) return;
  if (shown->BoardDir() == boardDir_ && shown->DatName() == datName) {
    ThreadState state(boardDir_, datName, ThreadTabs().ShownSubjects());
    if (!state.StoreFirstUnread(shown->Replies().Count() + 1)) {
      Ui().SetStatusText(Sjis("エラー:") + state.FilePath() + Sjis(" を書き込めませんでした."));
    }
  }
  ThreadTabs().TabThreadStateChanged(*shown);
}

void TReplyForm::ShowRefreshedThread(const PostResult& result) {
  if (IsNewThread()) {
    emit BoardListRefreshed(FromSjis(boardDir_));
    return;
  }
  ThreadTab* tab = ThreadTabOfPost();
  if (tab == nullptr) return;
  const std::string anchor =
      result.number > 0 ? "a" + std::to_string(result.number) : std::string(kUnreadAnchor);
  if (tab->ShowAgainIfChanged(anchor, tab->FirstUnread())) ThreadTabs().TabThreadStateChanged(*tab);
}

void TReplyForm::closeEvent(QCloseEvent* event) {
  if (busy_) {
    ShowResult(Sjis("送信中です: 終わるまで閉じられません"), true);
    event->ignore();
    return;
  }
  SaveDraftNow();
  event->accept();
}

}  // namespace velkor
