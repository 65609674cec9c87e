#pragma once

#include <QDialog>
#include <functional>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace velkor {

class RegexEngine;
class SubjectList;

// The search dialog. The main window calls Prepare before each modal showing. "検索" (or Enter)
// compiles the search word and runs the walk of the chosen scope: 0 filters the shown thread list,
// 1 searches the logs of the shown board (a favourite), 2 and 3 the titles and logs of every
// favourite board; the dialog shows the result page of the last three through Ui().ShowHtmlPage
// under "検索結果". The dialog then closes. A word the engine rejects leaves the dialog open (the
// engine shows the message).
class TSearchForm : public QDialog {
  Q_OBJECT

 public:
  explicit TSearchForm(QWidget* parent);
  ~TSearchForm() override;

  // Readies the dialog for a search: `shown` is the thread list on screen (null when there is
  // none; not owned, must outlive the showing), `rowsChanged` is called after scope 0 filtered its
  // rows. Clears the cancel request, sets the progress to 0 and enables the inputs. The engine is
  // made and loaded on the first call and its version text shown.
  void Prepare(SubjectList* shown, std::function<void()> rowsChanged);

  QLabel* keyLabel;
  QLineEdit* keyEdit;
  QCheckBox* nocaseCheckBox;
  QPushButton* dialogButton;
  QLabel* copyrightLabel;
  QGroupBox* searchTypeRadioGroup;
  QButtonGroup* searchTypeButtons;
  QPushButton* startButton;
  QPushButton* cancelButton;
  QProgressBar* ProgressBar;

 public slots:
  // Every way of closing also stops a running walk at its next progress step.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private slots:
  void startButtonClick();
  void cancelButtonClick();
  void dialogButtonClick();

 private:
  void SetInputsEnabled(bool enabled);
  void Ready();

  std::unique_ptr<RegexEngine> engine_;
  bool cancelRequested_ = false;
  bool foldWidth_ = false;
  bool searching_ = false;
  SubjectList* shown_ = nullptr;
  std::function<void()> rowsChanged_;
};

}  // namespace velkor
