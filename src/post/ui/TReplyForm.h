#pragma once

#include <QPointer>
#include <QWidget>
#include <string>

#include "net/FetchContext.h"
#include "post/BoardLimits.h"
#include "post/PostDrafts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace velkor {

class PostFlow;
class PostResult;
class ThreadTab;
class ThreadView;

// The reply window ("書き込み"): one per thread, or per board for a new thread ("スレ立て"), not
// modal. Name and mail are editable lists of the last names and mails posted with (PostHistory)
// and "sage" sets the mail to sage; the message is plain text (optionally in a fixed-pitch font
// for AA) with its bytes and lines counted live against the board's limits (the stored
// SETTING.TXT, downloaded once when none is stored); "プレビュー" shows the post rendered with the
// thread's skin. What is typed is a draft (PostDrafts) kept on disk until it is posted or cleared.
//
// "書き込む" runs one PostFlow with the standard status handler, so the program stays live; the
// window refuses a second post (and closing) while one runs, and never sends anything again on its
// own. A confirmation page asks through the dialog provider (TPostConfirmForm). A refusal shows
// the reason in the window and keeps everything typed; "may have been posted" says so, shows the
// refreshed thread in its tab and keeps the text. A post that went through closes the window and
// shows the thread with the new reply (scrolled to it) in the tab that showed it, or in a new tab;
// a new thread is opened in a new tab after the board's list was refreshed.
class TReplyForm : public QWidget {
  Q_OBJECT

 public:
  // A reply to `datName` ("<key>.dat") of the board whose log folder is `boardDir` (ending in "/")
  // and whose URL is `boardUrl`, shown in `tab` (may be null); with an empty `datName` a new
  // thread of that board. `title` (CP932) is the thread's title (for the window and the preview).
  TReplyForm(std::string boardUrl, std::string boardDir, std::string datName, std::string title,
             ThreadTab* tab, QWidget* parent = nullptr);
  ~TReplyForm() override;

  const std::string& BoardDir() const { return boardDir_; }
  const std::string& DatName() const { return datName_; }
  bool IsNewThread() const { return datName_.empty(); }
  // True while a post or the download of the board's limits runs.
  bool Busy() const { return busy_; }

  // Puts ">>number" and a line break into the message at the cursor.
  void InsertAnchor(int number);
  // "書き込む": posts what is typed (see above). While a post or the limits' download runs it only
  // says that it is refused.
  void Post();
  // What is typed, as a draft (UTF-8).
  SavedDraft Draft() const;
  // The preview page last rendered (CP932); empty before the first preview.
  const std::string& PreviewDocument() const { return previewDocument_; }
  // The text the window shows about the last post (a refusal, a warning, notes), as shown.
  QString ResultText() const;

  QLineEdit* subjectEdit = nullptr;  // a new thread only
  QComboBox* nameComboBox;
  QComboBox* mailComboBox;
  QCheckBox* sageCheckBox;
  QTabWidget* messagePageControl;
  QPlainTextEdit* messageEdit;
  QWidget* previewPage;
  ThreadView* previewView = nullptr;  // made when the preview is first shown
  QCheckBox* monospaceCheckBox;
  QLabel* countLabel;
  QLabel* resultLabel;
  QPushButton* clearButton;
  QPushButton* stopButton;
  QPushButton* postButton;

 signals:
  // A new thread was posted and the board's thread list (SubjectList of `boardDir`) refreshed.
  void BoardListRefreshed(const QString& boardDir);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildLayout();
  void RestoreDraft();
  // Something typed changed: the counts follow at once, the draft is saved a moment later.
  void TypedChanged();
  // Saves the draft now when it changed since it was last saved.
  void SaveDraftNow();
  void UpdateCounts();
  void UpdateButtons();
  void RenderPreview();
  // Downloads the board's limits when none are stored (once, after the window opened).
  void FetchLimits();
  void ShowResult(const std::string& sjis, bool failure);
  // What happens after the flow ended with `result`.
  void Finish(const PostResult& result);
  // After a post that went through: the thread with the new reply.
  void ShowPostedThread(const PostResult& result);
  // The thread shown after a post counts as read, every stored reply (the new one too), as after
  // a reload; its row in the list follows.
  void MarkShownThreadRead(const std::string& datName);
  // The thread as the flow fetched it again, in the tab that shows it (not brought to the front).
  void ShowRefreshedThread(const PostResult& result);
  // The tab that still shows this window's thread, or null.
  ThreadTab* ThreadTabOfPost() const;
  // The number the next reply would get (for the preview).
  int NextReplyNumber() const;

  std::string boardUrl_;
  std::string boardDir_;
  std::string datName_;
  std::string title_;
  QPointer<ThreadTab> tab_;
  std::string draftPath_;
  SavedDraft savedDraft_;  // what the draft file holds
  BoardLimits limits_;
  FetchContext limitsContext_;
  std::string previewDocument_;
  QTimer* draftTimer_;
  PostFlow* flow_ = nullptr;  // the running post
  bool busy_ = false;
  bool posted_ = false;
};

}  // namespace velkor
