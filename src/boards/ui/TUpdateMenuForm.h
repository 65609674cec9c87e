#pragma once

#include <QDialog>
#include <memory>

#include "boards/BoardMenuUpdater.h"

class QCheckBox;
class QComboBox;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace velkor {

// The board-menu update dialog, made for one use. It binds its controls to one BoardMenuUpdater on
// BoardList(), Favorites() and Config() (all open before the dialog is made): the combo box to the
// URL history, "再構築する" to the rebuild flag, the status bar and progress bar to the download's
// status texts and byte counts, "中止" and closing the dialog to the abort request.
class TUpdateMenuForm : public QDialog, public BoardMenuStatusSink {
  Q_OBJECT

 public:
  explicit TUpdateMenuForm(QWidget* parent);
  ~TUpdateMenuForm() override;

  // Downloads the combo box's URL and applies it (BoardMenuUpdater::RunUpdate). A moved-board
  // report is shown in a tab (Ui().ShowHtmlPage); unless `silent`, a failure's reason is shown in a
  // message box (information for "not modified", warning otherwise). Afterwards the combo box shows
  // the new history with the used URL first and "再構築する" is cleared. Returns the result.
  MenuUpdateResult RunUpdate(bool silent);

  void ShowStatusText(const std::string& text) override;
  void ShowProgress(std::int32_t received, std::int32_t total) override;

  QComboBox* bbsMenuComboBox;
  QProgressBar* ProgressBar;
  QPushButton* localButton;
  QCheckBox* rebuildCheckBox;
  QPushButton* updateButton;
  QPushButton* abortButton;
  QPushButton* closeButton;
  QStatusBar* StatusBar;

 public slots:
  // Closing asks a running download to stop; the dialog closes once it has returned.
  void done(int result) override;

 private slots:
  void updateButtonClick();
  void abortButtonClick();
  void closeButtonClick();
  void localButtonClick();
  void bbsMenuComboBoxChange(const QString& text);

 private:
  void ShowHistory();
  // Shows the moved-board report, if any, then (unless `silent`) the reason of a failure.
  static void ShowResult(const MenuUpdateResult& result, bool silent);
  void SetIdle(bool idle);

  std::unique_ptr<BoardMenuUpdater> updater_;
};

}  // namespace velkor
