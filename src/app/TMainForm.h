#pragma once

#include <QMainWindow>
#include <string>

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
  void FormCreate();
  void FormDestroy();
};

}  // namespace velkor
