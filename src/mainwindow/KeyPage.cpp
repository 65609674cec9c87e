#include "mainwindow/KeyPage.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/AppConfig.h"
#include "gui/GuiText.h"
#include "gui/KeyMap.h"

namespace velkor {
namespace {

QString LatinText(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

KeyPage::KeyPage(const KeyMap& keys, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("keyTabSheet"));
  keyTable = new QTableWidget(static_cast<int>(KeyCommands().size()), 2, this);
  keyTable->setObjectName(QStringLiteral("keyTable"));
  keyTable->setHorizontalHeaderLabels({QString::fromUtf8("操作"), QString::fromUtf8("キー")});
  keyTable->horizontalHeader()->setStretchLastSection(true);
  keyTable->verticalHeader()->hide();
  keyTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  keyTable->setSelectionMode(QAbstractItemView::SingleSelection);
  keyTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  int row = 0;
  for (const KeyCommand& command : KeyCommands()) {
    keys_.push_back(keys.Keys(command.name));
    keyTable->setItem(row, 0, new QTableWidgetItem(KeyMap::Caption(command.name)));
    keyTable->setItem(row, 1, new QTableWidgetItem());
    ShowRow(row);
    ++row;
  }
  initial_ = keys_;
  keyTable->resizeColumnToContents(0);

  keyEdit = new QKeySequenceEdit(this);
  keyEdit->setObjectName(QStringLiteral("keyEdit"));
  keyDefaultButton = new QPushButton(QString::fromUtf8("標準に戻す"), this);
  keyDefaultButton->setObjectName(QStringLiteral("keyDefaultButton"));
  keyClearButton = new QPushButton(QString::fromUtf8("キーなし"), this);
  keyClearButton->setObjectName(QStringLiteral("keyClearButton"));
  keyMessageLabel = new QLabel(this);
  keyMessageLabel->setObjectName(QStringLiteral("keyMessageLabel"));

  auto* editRow = new QHBoxLayout;
  editRow->addWidget(new QLabel(QString::fromUtf8("キー"), this));
  editRow->addWidget(keyEdit, 1);
  editRow->addWidget(keyDefaultButton);
  editRow->addWidget(keyClearButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(keyTable, 1);
  layout->addLayout(editRow);
  layout->addWidget(keyMessageLabel);

  keyEdit->installEventFilter(this);
  connect(keyDefaultButton, &QPushButton::clicked, this, [this] {
    const int row = keyTable->currentRow();
    if (row < 0) return;
    Assign(KeyMap::Parse(LatinText(KeyCommands()[static_cast<std::size_t>(row)].defaultKeys))
               .value_or(QList<QKeySequence>()));
  });
  connect(keyClearButton, &QPushButton::clicked, this, [this] { Assign({}); });
}

bool KeyPage::eventFilter(QObject* watched, QEvent* event) {
  if (watched != keyEdit || event->type() != QEvent::KeyPress) {
    return QWidget::eventFilter(watched, event);
  }
  // One key at a time, taken as it is pressed (the field would wait a second for up to four).
  const auto* press = static_cast<QKeyEvent*>(event);
  int key = press->key();
  Qt::KeyboardModifiers modifiers = press->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier |
                                                          Qt::AltModifier | Qt::MetaModifier);
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_unknown:
      return true;
    case Qt::Key_Backtab:  // Shift+Tab as the keyboard reports it
      key = Qt::Key_Tab;
      modifiers |= Qt::ShiftModifier;
      break;
    default:
      break;
  }
  const QKeySequence pressed(QKeyCombination(modifiers, static_cast<Qt::Key>(key)));
  keyEdit->setKeySequence(pressed);
  Assign({pressed});
  return true;
}

void KeyPage::Assign(const QList<QKeySequence>& keys) {
  const int row = keyTable->currentRow();
  if (row < 0) {
    keyMessageLabel->setText(QString::fromUtf8("操作を選んでください"));
    return;
  }
  for (std::size_t other = 0; other < keys_.size(); ++other) {
    if (static_cast<int>(other) == row) continue;
    for (const QKeySequence& key : keys) {
      if (keys_[other].contains(key)) {
        keyMessageLabel->setText(QString::fromUtf8("%1 は「%2」に使われています")
                                     .arg(key.toString(QKeySequence::NativeText),
                                          KeyMap::Caption(KeyCommands()[other].name)));
        return;
      }
    }
  }
  keys_[static_cast<std::size_t>(row)] = keys;
  keyMessageLabel->clear();
  ShowRow(row);
}

void KeyPage::ShowRow(int row) {
  keyTable->item(row, 1)->setText(KeyMap::NativeText(keys_[static_cast<std::size_t>(row)]));
}

void KeyPage::Save() const {
  KeyBindings bindings = Config().LoadKeyBindings();
  for (std::size_t row = 0; row < keys_.size(); ++row) {
    if (keys_[row] == initial_[row]) continue;
    const KeyCommand& command = KeyCommands()[row];
    const QString text = KeyMap::PortableText(keys_[row]);
    if (KeyMap::Parse(LatinText(command.defaultKeys)) == keys_[row]) {
      bindings.Set(command.name, std::nullopt);
    } else {
      bindings.Set(command.name, ToSjis(text));
    }
  }
  Config().SaveKeyBindings(bindings, false);
}

}  // namespace velkor
