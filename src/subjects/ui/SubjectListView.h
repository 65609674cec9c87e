#pragma once

#include <QTableView>
#include <cstdint>
#include <vector>

namespace velkor {

class SubjectList;
class SubjectListModel;

// The thread list of the shown board: a virtual report view over the rows of a SubjectList.
// Multi-selection of whole rows, read-only, selection kept visible without focus; a click on a
// column header sorts by that column (SortBy).
class SubjectListView : public QTableView {
  Q_OBJECT

 public:
  // `list` (not owned) must outlive the view.
  explicit SubjectListView(SubjectList& list, QWidget* parent = nullptr);

  SubjectListModel& Model() const { return *model_; }

  // Rebuilds the rows from subject.ini with the show-type mask; the list shows itself growing
  // while a large board loads. Selection and focus are cleared.
  void Fill(std::uint8_t mask);
  // Sorts by the column (SubjectList::SortBy) and repaints.
  void SortBy(int column);
  // Call after the list's rows were rebuilt or removed elsewhere (FilterRows, Release).
  void RowsChanged();
  // Repaints one row after its item changed.
  void RepaintRow(int row);

  // The selected rows in view order.
  std::vector<int> SelectedRows() const;

  // Column widths in column order; missing widths leave their columns as they are.
  void SetColumnWidths(const std::vector<int>& widths);
  std::vector<int> ColumnWidths() const;

  // Column header click: sorts by the column.
  void SubjectListViewColumnClick(int column);

 private:
  SubjectList& list_;
  SubjectListModel* model_;
};

}  // namespace velkor
