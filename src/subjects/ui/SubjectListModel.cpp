#include "subjects/ui/SubjectListModel.h"

#include <QBrush>
#include <QColor>

#include "gui/GuiText.h"
#include "subjects/TitleText.h"

namespace velkor {
namespace {

// Columns shown right-aligned: ranks and counts.
bool IsRightAligned(int column) {
  return column == 1 || column == 2 || column == 4 || column == 5 || column == 6 || column == 8 ||
         column == 9;
}

constexpr int kTitleColumn = 3;

}  // namespace

SubjectListModel::SubjectListModel(SubjectList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

const std::array<QString, kSubjectColumnCount>& SubjectListModel::Captions() {
  static const std::array<QString, kSubjectColumnCount> captions = {
      QString(),
      QString::fromUtf8("順位"),
      QString::fromUtf8("前回"),
      QString::fromUtf8("タイトル"),
      QString::fromUtf8("レス"),
      QString::fromUtf8("既得"),
      QString::fromUtf8("未読"),
      QString::fromUtf8("タイムスタンプ"),
      QString::fromUtf8("サイズ"),
      QString::fromUtf8("dat")};
  return captions;
}

int SubjectListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.RowCount());
}

int SubjectListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kSubjectColumnCount;
}

const std::array<QString, kSubjectColumnCount>& SubjectListModel::TextsOf(int row) const {
  if (row != cachedRow_) {
    auto texts = list_.CellTexts(static_cast<std::size_t>(row));
    for (int i = 0; i < kSubjectColumnCount; ++i) {
      cachedTexts_[i] = i == kTitleColumn ? QString::fromStdString(TitleForDisplay(texts[i]))
                                          : FromSjis(texts[i]);
    }
    cachedRow_ = row;
  }
  return cachedTexts_;
}

QVariant SubjectListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kSubjectColumnCount) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
      return TextsOf(index.row())[index.column()];
    case Qt::BackgroundRole:
      return QBrush(ToQColor(list_.RowColour(static_cast<std::size_t>(index.row()))));
    case Qt::ForegroundRole:
      return QBrush(TextColourOn(ToQColor(list_.RowColour(static_cast<std::size_t>(index.row())))));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(
          (IsRightAligned(index.column()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    default:
      return {};
  }
}

QVariant SubjectListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kSubjectColumnCount) return {};
  if (role == Qt::DisplayRole) return Captions()[section];
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::Alignment(
        (IsRightAligned(section) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
  }
  return {};
}

void SubjectListModel::BeginRowsReset() {
  beginResetModel();
  cachedRow_ = -1;
}

void SubjectListModel::EndRowsReset() {
  cachedRow_ = -1;
  endResetModel();
}

void SubjectListModel::RowChanged(int row) {
  if (row < 0 || row >= rowCount()) return;
  if (row == cachedRow_) cachedRow_ = -1;
  emit dataChanged(index(row, 0), index(row, kSubjectColumnCount - 1));
}

}  // namespace velkor
