#pragma once

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "subjects/NewReplyCheck.h"

namespace velkor {

// The table of the new-reply check: one row per thread found, across boards. Column 0 is the
// board's name ("板"); columns 1 to 9 are those of the thread list, with its texts and row colours.
class NewReplyListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kBoardColumn = 0;

  explicit NewReplyListModel(QObject* parent = nullptr);

  // Shows the threads of a check of `boards` (the report's board indexes point into it).
  void SetThreads(std::vector<CheckBoard> boards, std::vector<NewReplyThread> threads);
  // The row's thread and its board; row must be below rowCount().
  const NewReplyThread& Thread(int row) const { return threads_[static_cast<std::size_t>(row)]; }
  const CheckBoard& BoardOf(int row) const { return boards_[Thread(row).board]; }
  // The row's thread now has this state (after it was opened).
  void UpdateItem(int row, const ThreadItem& item);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<CheckBoard> boards_;
  std::vector<NewReplyThread> threads_;
};

}  // namespace velkor
