#pragma once

#include <QFrame>
#include <vector>

#include "threads/NextThread.h"

class QLabel;
class QToolButton;

namespace velkor {

// The bar above a thread page that tells the reader the thread will not grow any more here: its
// automatic reload stopped, or it is full or past, and then its likely successors ("次スレ"), best
// first, each a link; "更新して探す" asks for the board's list afresh and "×" hides the bar. Hidden
// until shown.
class NextThreadBar : public QFrame {
  Q_OBJECT

 public:
  explicit NextThreadBar(QWidget* parent = nullptr);

  // Shows `message` and the candidates (titles CP932), or "次スレ候補は見つかりません。" when there
  // are none, with the search button.
  void ShowCandidates(const QString& message, std::vector<NextThreadCandidate> candidates);
  // Shows `message` alone.
  void ShowMessage(const QString& message);
  // True while the bar is shown with candidates (ShowCandidates), false when hidden or showing a
  // message alone.
  bool ShowsCandidates() const { return showsCandidates_ && !isHidden(); }
  const std::vector<NextThreadCandidate>& Candidates() const { return candidates_; }
  // The message line and the candidates' links as shown.
  QString MessageText() const;
  QString CandidatesText() const;

 signals:
  // The candidate at `index` of Candidates() was clicked.
  void CandidateChosen(int index);
  // "更新して探す" was clicked.
  void SearchAgainRequested();

 private:
  QLabel* message_;
  QLabel* links_;
  QToolButton* search_;
  std::vector<NextThreadCandidate> candidates_;
  bool showsCandidates_ = false;
};

}  // namespace velkor
