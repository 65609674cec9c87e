#pragma once

#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QString>
#include <optional>

class QDialog;
class QWidget;

namespace velkor {

// The modal windows the program shows: its own dialogs (settings, board-menu update, search and its
// options) and the message boxes and file, font and colour pickers. Windows show them through
// AppDialogs(); the default runs them as Qt does (the pickers Qt's own, not the platform's, named
// "FontDialog" and "ColorDialog"). Tests install answers given in advance instead of driving modal
// loops.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Runs one of the program's own dialogs modally and returns its result (QDialog::DialogCode).
  virtual int Exec(QDialog& dialog);
  // A message box with one OK button; returns when it is closed.
  virtual void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                           const QString& text);
  // A question with the buttons "はい" and "いいえ" ("いいえ" the default); true for "はい".
  virtual bool Ask(QWidget* parent, const QString& caption, const QString& text);
  // The file picked to open, starting in `dir`, offering `filter` (as QFileDialog takes it); empty
  // when the user cancels.
  virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                               const QString& filter);
  // The font chosen starting from `preset`; none when the user cancels.
  virtual std::optional<QFont> ChooseFont(QWidget* parent, const QFont& preset);
  // The colour chosen starting from `preset`; none when the user cancels.
  virtual std::optional<QColor> ChooseColour(QWidget* parent, const QColor& preset);
  // The file picked to save to, starting with `suggested` (a path or a name), offering `filter`;
  // the picker asks before an existing file is replaced. Empty when the user cancels.
  virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                               const QString& filter);
};

// The installed dialogs (Qt's until SetDialogs installs others).
Dialogs& AppDialogs();
// Installs `dialogs` (not owned) for the rest of the run; null restores Qt's.
void SetDialogs(Dialogs* dialogs);

}  // namespace velkor
