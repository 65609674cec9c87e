#include "boards/ui/BoardTreeWidget.h"

#include <QMouseEvent>
#include <QStyledItemDelegate>

#include "gui/GuiText.h"

namespace velkor {
namespace {

constexpr int kLabelRole = Qt::UserRole + 1;

// Paints subscribed board nodes of the board list on the subscribe colour (selection keeps the
// highlight).
class SubscribedNodeDelegate : public QStyledItemDelegate {
 public:
  explicit SubscribedNodeDelegate(BoardTreeWidget* tree) : QStyledItemDelegate(tree), tree_(tree) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const BoardCatalog* favorites = tree_->SubscribedCatalog();
    if (favorites == nullptr || (option->state & QStyle::State_Selected)) return;
    QModelIndex parent = index.parent();
    if (!parent.isValid()) return;
    std::string label = index.data(kLabelRole).toByteArray().toStdString();
    std::string parentLabel = parent.data(kLabelRole).toByteArray().toStdString();
    if (favorites->Contains(parentLabel, label)) {
      option->backgroundBrush = QBrush(tree_->SubscribedColour());
    }
  }

 private:
  BoardTreeWidget* tree_;
};

}  // namespace

BoardTreeWidget::BoardTreeWidget(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setItemDelegate(new SubscribedNodeDelegate(this));
}

void BoardTreeWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->ignore();
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

int BoardTreeWidget::Level(const QTreeWidgetItem* node) {
  if (node == nullptr) return -1;
  int level = 0;
  for (const QTreeWidgetItem* p = node->parent(); p != nullptr; p = p->parent()) ++level;
  return level;
}

std::string BoardTreeWidget::Label(const QTreeWidgetItem* node) {
  if (node == nullptr) return {};
  return node->data(0, kLabelRole).toByteArray().toStdString();
}

std::string BoardTreeWidget::ParentLabel(const QTreeWidgetItem* node) {
  return node == nullptr ? std::string() : Label(node->parent());
}

QTreeWidgetItem* BoardTreeWidget::MakeNode(const std::string& label) {
  auto* node = new QTreeWidgetItem;
  node->setText(0, FromSjis(label));
  node->setData(0, kLabelRole, QByteArray::fromStdString(label));
  return node;
}

QTreeWidgetItem* BoardTreeWidget::Root() const {
  return topLevelItemCount() > 0 ? topLevelItem(0) : nullptr;
}

QTreeWidgetItem* BoardTreeWidget::FindBoardNode(const std::string& category,
                                                const std::string& name) const {
  QTreeWidgetItem* root = Root();
  if (root == nullptr) return nullptr;
  for (int c = 0; c < root->childCount(); ++c) {
    QTreeWidgetItem* categoryNode = root->child(c);
    if (Label(categoryNode) != category) continue;
    for (int b = 0; b < categoryNode->childCount(); ++b) {
      if (Label(categoryNode->child(b)) == name) return categoryNode->child(b);
    }
  }
  return nullptr;
}

void BoardTreeWidget::SetBoardMarked(const std::string& category, const std::string& name,
                                     bool marked) {
  QTreeWidgetItem* node = FindBoardNode(category, name);
  if (node == nullptr) return;
  if (!marked) {
    node->setData(0, Qt::FontRole, QVariant());
    return;
  }
  QFont bold = font();
  bold.setBold(true);
  node->setFont(0, bold);
}

bool BoardTreeWidget::IsBoardMarked(const std::string& category, const std::string& name) const {
  const QTreeWidgetItem* node = FindBoardNode(category, name);
  return node != nullptr && node->data(0, Qt::FontRole).isValid() && node->font(0).bold();
}

int BoardTreeWidget::NodeCount() const {
  QTreeWidgetItem* root = Root();
  if (root == nullptr) return 0;
  int count = 1;
  for (int c = 0; c < root->childCount(); ++c) count += 1 + root->child(c)->childCount();
  return count;
}

QTreeWidgetItem* BoardTreeWidget::SelectedNode() const {
  QList<QTreeWidgetItem*> nodes = selectedItems();
  return nodes.isEmpty() ? nullptr : nodes.first();
}

void BoardTreeWidget::MarkSubscribed(const BoardCatalog* favorites, const QColor& colour) {
  favorites_ = favorites;
  subscribedColour_ = colour;
  viewport()->update();
}

void BoardTreeWidget::TreeRebuilt(const BoardCatalog& catalog) {
  clear();
  QTreeWidgetItem* root = MakeNode(std::string(BoardCatalog::kRootLabel));
  for (const BoardTreeCategory& category : catalog.Tree()) {
    QTreeWidgetItem* categoryNode = MakeNode(category.label);
    for (const std::string& board : category.boards) categoryNode->addChild(MakeNode(board));
    root->addChild(categoryNode);
  }
  addTopLevelItem(root);
  root->setExpanded(true);
}

void BoardTreeWidget::BoardAdded(const BoardCatalog& catalog, std::size_t category,
                                 std::size_t board, bool newCategory) {
  QTreeWidgetItem* root = Root();
  if (root == nullptr) {
    TreeRebuilt(catalog);
    return;
  }
  const BoardTreeCategory& added = catalog.Tree()[category];
  if (newCategory) root->insertChild(static_cast<int>(category), MakeNode(added.label));
  QTreeWidgetItem* categoryNode = root->child(static_cast<int>(category));
  if (categoryNode == nullptr) {
    TreeRebuilt(catalog);
    return;
  }
  categoryNode->insertChild(static_cast<int>(board), MakeNode(added.boards[board]));
  viewport()->update();
}

void BoardTreeWidget::BoardRemoved(const BoardCatalog& catalog, std::size_t category,
                                   std::size_t board, bool categoryRemoved) {
  QTreeWidgetItem* root = Root();
  QTreeWidgetItem* categoryNode = root ? root->child(static_cast<int>(category)) : nullptr;
  if (categoryNode == nullptr || categoryNode->child(static_cast<int>(board)) == nullptr) {
    TreeRebuilt(catalog);
    return;
  }
  QTreeWidgetItem* gone =
      categoryRemoved ? categoryNode : categoryNode->child(static_cast<int>(board));
  // Qt would move the selection to a neighbour of a removed selected node, and selecting a
  // favourite opens its board: the selection goes with the node instead.
  for (QTreeWidgetItem* node = currentItem(); node != nullptr; node = node->parent()) {
    if (node == gone) {
      selectionModel()->clear();
      break;
    }
  }
  delete gone;
  viewport()->update();
}

}  // namespace velkor
