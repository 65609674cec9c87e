#pragma once

#include <QAbstractTableModel>
#include <array>
#include <string>

#include "subjects/SubjectList.h"

namespace velkor {

// The virtual table behind SubjectListView: rows are the rows of a SubjectList, and cell texts and
// row colours are asked of it only for the rows the view paints. No item is kept per thread.
class SubjectListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // `list` (not owned) must outlive the model.
  explicit SubjectListModel(SubjectList& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Call around every operation that rebuilds or reorders the list's rows (Fill, SortBy,
  // FilterRows, Release).
  void BeginRowsReset();
  void EndRowsReset();
  // The row's item or state changed (RefreshRow, SetUnreadAt, DeleteLog).
  void RowChanged(int row);

  // The column headers: none, "順位", "前回", "タイトル", "レス", "既得", "未読", "タイムスタンプ",
  // "サイズ", "dat".
  static const std::array<QString, kSubjectColumnCount>& Captions();

 private:
  const std::array<QString, kSubjectColumnCount>& TextsOf(int row) const;

  SubjectList& list_;
  // The texts of the row last asked for: a painted row asks for each of its cells in turn.
  mutable int cachedRow_ = -1;
  mutable std::array<QString, kSubjectColumnCount> cachedTexts_;
};

}  // namespace velkor
