#pragma once

#include <QTableView>
#include <cstdint>
#include <vector>

namespace velkor {

class SubjectList;
class SubjectListModel;

// The thread list of the shown board: a virtual report view over the rows of a SubjectList.
// Multi-selection of whole rows, read-only, selection kept visible without focus; a click on a
// column header sorts by that column (SortBy), and the header's arrow shows the column and the
// direction of the order shown (rank ascending after a fill).
class SubjectListView : public QTableView {
  Q_OBJECT

 public:
  // `list` (not owned) must outlive the view.
  explicit SubjectListView(SubjectList& list, QWidget* parent = nullptr);

  SubjectListModel& Model() const { return *model_; }

  // Rebuilds the rows from subject.ini with the show-type mask; the list shows itself growing
  // while a large board loads. Selection and focus are cleared, a title filter ends.
  void Fill(std::uint8_t mask);
  // Call after the rows were narrowed to the titles matching `word` (FilterRows): tells
  // FilterChanged, so the window can show the filter until a fill ends it.
  void ShowFiltered(const QString& word);
  const QString& FilterWord() const { return filterWord_; }
  // Sorts by the column (SubjectList::SortBy) and repaints.
  void SortBy(int column);
  // Call after the list's rows were rebuilt or removed elsewhere (FilterRows, Release).
  void RowsChanged();
  // Repaints one row after its item changed.
  void RepaintRow(int row);

  // The selected rows in view order.
  std::vector<int> SelectedRows() const;

  // Column widths in column order; missing widths leave their columns as they are. A shown
  // column of ranks or counts is never narrower than three-digit ranks and four-digit counts in the
  // list's font (a hidden column, width 0, stays hidden).
  void SetColumnWidths(const std::vector<int>& widths);
  std::vector<int> ColumnWidths() const;

  // Column header click: sorts by the column.
  void SubjectListViewColumnClick(int column);

 signals:
  // The rows are narrowed by a title filter with `word`, or (empty) no longer.
  void FilterChanged(const QString& word);

 protected:
  // A new font scales every column with the width of its digits, so the columns follow the font.
  void changeEvent(QEvent* event) override;

 private:
  // Widens the shown columns of ranks and counts that would cut their numbers in the current font.
  void KeepNumbersWhole();

  SubjectList& list_;
  SubjectListModel* model_;
  int digitWidth_;  // of the font the column widths were made for
  QString filterWord_;
};

}  // namespace velkor
