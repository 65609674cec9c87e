#pragma once

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;

namespace velkor {

// What a thread tab shows in place of its page when the thread's log could not be fetched and none
// is stored: the reason ("fetchFailureLabel") and a button "再試行" ("fetchRetryButton") that asks
// for the fetch again.
class FetchFailurePanel : public QWidget {
  Q_OBJECT

 public:
  explicit FetchFailurePanel(QWidget* parent = nullptr);

  // Shows the reason (CP932) of the failure.
  void SetReason(const std::string& reason);

 signals:
  void RetryClicked();

 private:
  QLabel* reason_;
  QPushButton* retry_;
};

}  // namespace velkor
