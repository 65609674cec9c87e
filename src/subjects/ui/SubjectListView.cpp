#include "subjects/ui/SubjectListView.h"

#include <QEvent>
#include <QHeaderView>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "base/Clock.h"
#include "subjects/SubjectList.h"
#include "subjects/ui/SubjectListModel.h"

namespace velkor {

namespace {

// The columns of short numbers and the widest number each shows in practice: ranks, then counts.
struct ShortNumberColumn {
  int column;
  const char* widest;
};
constexpr int kRankColumn = 1;

constexpr ShortNumberColumn kShortNumberColumns[] = {
    {1, "000"}, {2, "000"}, {4, "0000"}, {5, "0000"}, {6, "0000"}};

}  // namespace

SubjectListView::SubjectListView(SubjectList& list, QWidget* parent)
    : QTableView(parent),
      list_(list),
      model_(new SubjectListModel(list, this)),
      digitWidth_(fontMetrics().horizontalAdvance(QLatin1Char('0'))) {
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
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(kRankColumn, Qt::AscendingOrder);
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
  // A fill orders the rows by rank.
  horizontalHeader()->setSortIndicator(kRankColumn, Qt::AscendingOrder);
  if (!filterWord_.isEmpty()) {
    filterWord_.clear();
    emit FilterChanged(filterWord_);
  }
}

void SubjectListView::ShowFiltered(const QString& word) {
  filterWord_ = word;
  emit FilterChanged(filterWord_);
}

void SubjectListView::SortBy(int column) {
  const bool descending = list_.SortDescending(column);
  model_->BeginRowsReset();
  list_.SortBy(column);
  model_->EndRowsReset();
  horizontalHeader()->setSortIndicator(column,
                                       descending ? Qt::DescendingOrder : Qt::AscendingOrder);
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
  KeepNumbersWhole();
}

std::vector<int> SubjectListView::ColumnWidths() const {
  std::vector<int> widths;
  for (int i = 0; i < kSubjectColumnCount; ++i)
    widths.push_back(horizontalHeader()->sectionSize(i));
  return widths;
}

void SubjectListView::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  const int digitWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
  if (digitWidth <= 0 || digitWidth == digitWidth_) return;
  const double scale = static_cast<double>(digitWidth) / digitWidth_;
  for (int i = 0; i < kSubjectColumnCount; ++i) {
    const int width = horizontalHeader()->sectionSize(i);
    horizontalHeader()->resizeSection(i, static_cast<int>(std::lround(width * scale)));
  }
  digitWidth_ = digitWidth;
  KeepNumbersWhole();
}

void SubjectListView::KeepNumbersWhole() {
  for (const ShortNumberColumn& numbers : kShortNumberColumns) {
    // The text and the cell's margins on both sides.
    const int needed = fontMetrics().horizontalAdvance(QLatin1String(numbers.widest)) + 6;
    const int width = horizontalHeader()->sectionSize(numbers.column);
    if (width > 0 && width < needed) horizontalHeader()->resizeSection(numbers.column, needed);
  }
}

}  // namespace velkor
