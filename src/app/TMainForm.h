#pragma once

#include <QMainWindow>
#include <string>
#include <vector>

namespace velkor {

// The main window: side bar with the board trees, the thread list and the thread-view tabs.
class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TMainForm(QWidget* parent = nullptr);
  ~TMainForm() override;

  // Shows an HTML page (CP932 bytes) in a new thread-view tab.
  void ShowHtmlPage(const std::string& html, const std::string& title);

 private:
  static constexpr std::size_t kThreadListColumns = 10;

  // Reads the configuration and restores the window's geometry and remembered sizes.
  void FormCreate();
  // Saves the geometry, the remembered side-bar width and pane height, and the column widths.
  void FormDestroy();

  std::vector<int> columnWidths_;
  bool sidebarVisible_ = true;
  int sidebarWidth_ = 180;
  int subjectHeight_ = 130;
};

}  // namespace velkor
