#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTabWidget;
class QToolButton;
class QWebEngineFindTextResult;

namespace velkor {

class ThreadTabList;
class ThreadView;

// The find bar under the thread-view tabs ("findBar"): finds text in the active tab's page as it
// is shown (the browser's own find, so Shift_JIS pages are searched in the characters the reader
// sees), while it is typed, with every match highlighted, the active one marked and counted
// ("3/17", "見つかりません"). Enter or "次" goes to the next match, Shift+Enter or "前" to the
// previous one, from the last back to the first. The bar follows the active tab and finds again
// when the page is drawn anew. Closing it removes the highlights and gives the page the focus.
class FindBar : public QWidget {
  Q_OBJECT

 public:
  // `tabs` (not owned) must outlive the bar; `tabControl` is its tab control.
  FindBar(ThreadTabList& tabs, QTabWidget* tabControl, QWidget* parent = nullptr);

  // Shows the bar with the keyboard in its field; a non-empty `text` replaces what it held. The
  // text is found at once.
  void Open(const QString& text = QString());
  // Hides the bar and removes the highlights.
  void Close();
  // The next or previous match of the text (opening the bar when it is hidden).
  void FindNext();
  void FindPrevious();

  // The count shown, and the numbers behind it: the active match (1-based, 0 for none) and how
  // many matches the page holds, as the last answer of the page said.
  QString CountText() const;
  int ActiveMatch() const { return activeMatch_; }
  int MatchCount() const { return matchCount_; }
  // Answers of the page so far (each find, next and previous gets one).
  int Answers() const { return answers_; }

  QLineEdit* findEdit;
  QLabel* findCountLabel;
  QToolButton* findPreviousButton;
  QToolButton* findNextButton;
  QToolButton* findCloseButton;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Finds the field's text in the active page (forward or backward from the active match); an
  // empty text clears the highlights.
  void Find(bool backward);
  // The page of the active tab changed (another tab, a new document): finds there anew.
  void Follow();
  // Removes the highlights from the page they are in and stops following it.
  void Leave();
  void Answered(int request, const QWebEngineFindTextResult& result);
  void ShowCount();

  ThreadTabList& tabs_;
  QPointer<ThreadView> view_;  // the page the highlights are in
  int request_ = 0;            // the last find asked; older answers are dropped
  int activeMatch_ = 0;
  int matchCount_ = 0;
  int answers_ = 0;
};

}  // namespace velkor
