#pragma once

#include <QKeySequence>
#include <QList>
#include <QWidget>
#include <vector>

class QKeySequenceEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace velkor {

class KeyMap;

// The settings dialog's page "キー" ("keyTabSheet"): every command of the key table with its keys.
// With a row selected, a key pressed in keyEdit becomes the command's key ("標準に戻す" gives it
// its default keys back, "キーなし" none); a key another command has is refused and
// keyMessageLabel names that command. Nothing is written before Save.
class KeyPage : public QWidget {
  Q_OBJECT

 public:
  // Shows the keys `keys` applies now.
  explicit KeyPage(const KeyMap& keys, QWidget* parent = nullptr);

  // Writes the commands whose keys were changed on the page into Config()'s [Keys] (not flushed):
  // keys equal to the default remove the entry, so the command follows the default.
  void Save() const;

  QTableWidget* keyTable;
  QKeySequenceEdit* keyEdit;
  QPushButton* keyDefaultButton;
  QPushButton* keyClearButton;
  QLabel* keyMessageLabel;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Gives the selected command `keys`, unless one of them belongs to another command.
  void Assign(const QList<QKeySequence>& keys);
  void ShowRow(int row);

  std::vector<QList<QKeySequence>> initial_;
  std::vector<QList<QKeySequence>> keys_;
};

}  // namespace velkor
