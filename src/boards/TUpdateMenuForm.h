#pragma once

#include <QDialog>
#include <memory>

#include "boards/BoardMenuUpdater.h"

namespace velkor {

// The board-menu update dialog over one BoardMenuUpdater on the process-wide catalogs.
class TUpdateMenuForm : public QDialog, public BoardMenuStatusSink {
  Q_OBJECT

 public:
  explicit TUpdateMenuForm(QWidget* parent);
  ~TUpdateMenuForm() override;

  // Runs the update; see BoardMenuUpdater::RunUpdate.
  int RunUpdate(bool silent);

  void ShowStatusText(const std::string& text) override;
  void ShowProgress(std::int32_t received, std::int32_t total) override;

 private:
  std::unique_ptr<BoardMenuUpdater> updater_;
};

}  // namespace velkor
