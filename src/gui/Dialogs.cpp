#include "gui/Dialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QPushButton>

namespace velkor {
namespace {

Dialogs qtDialogs;
Dialogs* current = &qtDialogs;

}  // namespace

int Dialogs::Exec(QDialog& dialog) {
  return dialog.exec();
}

void Dialogs::ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                          const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

bool Dialogs::Ask(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.button(QMessageBox::Yes)->setText(QString::fromUtf8("はい"));
  box.button(QMessageBox::No)->setText(QString::fromUtf8("いいえ"));
  return box.exec() == QMessageBox::Yes;
}

QString Dialogs::OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                              const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

std::optional<QFont> Dialogs::ChooseFont(QWidget* parent, const QFont& preset) {
  QFontDialog dialog(preset, parent);
  dialog.setObjectName("FontDialog");
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedFont();
}

std::optional<QColor> Dialogs::ChooseColour(QWidget* parent, const QColor& preset) {
  QColorDialog dialog(parent);
  dialog.setObjectName("ColorDialog");
  dialog.setOption(QColorDialog::DontUseNativeDialog);
  dialog.setCurrentColor(preset);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedColor();
}

QString Dialogs::SaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                              const QString& filter) {
  return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

Dialogs& AppDialogs() {
  return *current;
}

void SetDialogs(Dialogs* dialogs) {
  current = dialogs != nullptr ? dialogs : &qtDialogs;
}

}  // namespace velkor
