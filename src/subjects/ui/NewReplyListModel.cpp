#include "subjects/ui/NewReplyListModel.h"

#include <QBrush>

#include "gui/GuiText.h"
#include "subjects/TitleText.h"
#include "subjects/ui/SubjectListModel.h"

namespace velkor {
namespace {

constexpr int kTitleColumn = static_cast<int>(SubjectColumn::kTitle);

bool IsRightAligned(int column) {
  return column != NewReplyListModel::kBoardColumn && column != kTitleColumn &&
         column != static_cast<int>(SubjectColumn::kLastModified);
}

}  // namespace

NewReplyListModel::NewReplyListModel(QObject* parent) : QAbstractTableModel(parent) {}

void NewReplyListModel::SetThreads(std::vector<CheckBoard> boards,
                                   std::vector<NewReplyThread> threads) {
  beginResetModel();
  boards_ = std::move(boards);
  threads_ = std::move(threads);
  endResetModel();
}

void NewReplyListModel::UpdateItem(int row, const ThreadItem& item) {
  if (row < 0 || row >= rowCount()) return;
  threads_[static_cast<std::size_t>(row)].item = item;
  emit dataChanged(index(row, 0), index(row, kSubjectColumnCount - 1));
}

int NewReplyListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(threads_.size());
}

int NewReplyListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kSubjectColumnCount;
}

QVariant NewReplyListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kSubjectColumnCount) {
    return {};
  }
  const NewReplyThread& thread = Thread(index.row());
  switch (role) {
    case Qt::DisplayRole: {
      if (index.column() == kBoardColumn) return FromSjis(BoardOf(index.row()).name);
      const std::string text =
          ThreadCellTexts(thread.item)[static_cast<std::size_t>(index.column())];
      return index.column() == kTitleColumn ? QString::fromStdString(TitleForDisplay(text))
                                            : FromSjis(text);
    }
    case Qt::BackgroundRole:
      return QBrush(ToQColor(ThreadStateColour(thread.item.state, AppSettings())));
    case Qt::ForegroundRole:
      return QBrush(TextColourOn(ToQColor(ThreadStateColour(thread.item.state, AppSettings()))));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(
          (IsRightAligned(index.column()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant NewReplyListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kSubjectColumnCount) return {};
  if (role == Qt::DisplayRole) {
    return section == kBoardColumn
               ? QString::fromUtf8("板")
               : SubjectListModel::Captions()[static_cast<std::size_t>(section)];
  }
  return {};
}

}  // namespace velkor
