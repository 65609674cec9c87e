#include "subjects/ui/SubjectListView.h"

#include <QHeaderView>
#include <algorithm>
#include <chrono>

#include "base/Clock.h"
#include "subjects/SubjectList.h"
#include "subjects/ui/SubjectListModel.h"

namespace velkor {

SubjectListView::SubjectListView(SubjectList& list, QWidget* parent)
    : QTableView(parent), list_(list), model_(new SubjectListModel(list, this)) {
  setObjectName("SubjectListView");
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setShowGrid(false);
  setWordWrap(false);
  setContextMenuPolicy(Qt::CustomContextMenu);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setMinimumSectionSize(0);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  // Keep the selection visible in its active colours when the list loses focus.
  QPalette colours = palette();
  colours.setColor(QPalette::Inactive, QPalette::Highlight,
                   colours.color(QPalette::Active, QPalette::Highlight));
  colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   colours.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(colours);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
          &SubjectListView::SubjectListViewColumnClick);
}

void SubjectListView::Fill(std::uint8_t mask) {
  // The list shows itself growing only while filling takes long enough to be seen: a repaint
  // costs a few milliseconds, so one every 64 threads made a 40,000-thread board take seconds.
  static constexpr std::chrono::milliseconds kGrowthRepaint{100};
  Clock::TimePoint lastRepaint = CurrentClock().Now();
  model_->BeginRowsReset();
  list_.Fill(mask, [this, &lastRepaint](std::size_t) {
    if (CurrentClock().Now() - lastRepaint < kGrowthRepaint) return;
    model_->EndRowsReset();
    viewport()->repaint();
    model_->BeginRowsReset();
    lastRepaint = CurrentClock().Now();
  });
  model_->EndRowsReset();
  setCurrentIndex(QModelIndex());
  viewport()->update();
}

void SubjectListView::SortBy(int column) {
  model_->BeginRowsReset();
  list_.SortBy(column);
  model_->EndRowsReset();
}

void SubjectListView::SubjectListViewColumnClick(int column) {
  SortBy(column);
}

void SubjectListView::RowsChanged() {
  model_->BeginRowsReset();
  model_->EndRowsReset();
}

void SubjectListView::RepaintRow(int row) {
  model_->RowChanged(row);
}

std::vector<int> SubjectListView::SelectedRows() const {
  std::vector<int> rows;
  if (selectionModel() == nullptr) return rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void SubjectListView::SetColumnWidths(const std::vector<int>& widths) {
  int count = std::min<int>(static_cast<int>(widths.size()), kSubjectColumnCount);
  for (int i = 0; i < count; ++i) horizontalHeader()->resizeSection(i, std::max(0, widths[i]));
}

std::vector<int> SubjectListView::ColumnWidths() const {
  std::vector<int> widths;
  for (int i = 0; i < kSubjectColumnCount; ++i)
    widths.push_back(horizontalHeader()->sectionSize(i));
  return widths;
}

}  // namespace velkor
