#pragma once

#include <QTreeWidget>
#include <string>

#include "boards/BoardCatalog.h"

namespace velkor {

// A side-bar tree bound to a BoardCatalog: the root "2ch" (level 0), one node per category
// (level 1) and one per board (level 2). It follows the catalog through the observer interface, so
// BuildTree, AddBoard and RemoveBoard show at once. Labels are kept as the catalog's CP932 bytes.
// Removing the selected node (or its category) leaves nothing selected.
class BoardTreeWidget : public QTreeWidget, public BoardCatalogObserver {
  Q_OBJECT

 public:
  explicit BoardTreeWidget(QWidget* parent = nullptr);

  // 0 for the root, 1 for a category, 2 for a board; -1 for null.
  static int Level(const QTreeWidgetItem* node);
  // The node's label (CP932) and its parent's label (empty for the root or null).
  static std::string Label(const QTreeWidgetItem* node);
  static std::string ParentLabel(const QTreeWidgetItem* node);

  // The first board node (categories in tree order) labelled exactly `name` under a category node
  // labelled exactly `category`; null when there is none.
  QTreeWidgetItem* FindBoardNode(const std::string& category, const std::string& name) const;
  // Nodes in the tree, the root included.
  int NodeCount() const;
  // The selected node, or null.
  QTreeWidgetItem* SelectedNode() const;

  // Shows the board node (category, name) in bold, or plain again; a tree rebuild shows all plain.
  void SetBoardMarked(const std::string& category, const std::string& name, bool marked);
  bool IsBoardMarked(const std::string& category, const std::string& name) const;

  // When set, board nodes that `favorites` contains are drawn on `colour` while not selected.
  void MarkSubscribed(const BoardCatalog* favorites, const QColor& colour);
  const QColor& SubscribedColour() const { return subscribedColour_; }
  const BoardCatalog* SubscribedCatalog() const { return favorites_; }

  void TreeRebuilt(const BoardCatalog& catalog) override;
  void BoardAdded(const BoardCatalog& catalog, std::size_t category, std::size_t board,
                  bool newCategory) override;
  void BoardRemoved(const BoardCatalog& catalog, std::size_t category, std::size_t board,
                    bool categoryRemoved) override;

 protected:
  // A right press leaves the selection alone (selecting a favourite opens its board); the context
  // menu request still follows.
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QTreeWidgetItem* Root() const;
  static QTreeWidgetItem* MakeNode(const std::string& label);

  const BoardCatalog* favorites_ = nullptr;
  QColor subscribedColour_;
};

}  // namespace velkor
