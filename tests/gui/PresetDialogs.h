#pragma once

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "gui/Dialogs.h"

namespace velkor::test {

// Dialog answers given in advance, installed for the object's lifetime. Each question takes the
// next answer of its kind; without one it is answered as cancelled. A program's own dialog is shown
// (not modally) and handed to the next of `windows`, which works its controls; its result is the
// dialog's result once the driver closed it, else it is rejected; an unanswered question is
// answered "いいえ". Every question is recorded as "kind|caption|detail" (detail: the message or
// question text, the file filter, the name suggested for a file to save; the dialog's object name
// for a window; empty for the pickers). Files to open and to save take their answers from `files`.
class PresetDialogs final : public Dialogs {
 public:
  PresetDialogs() { SetDialogs(this); }
  ~PresetDialogs() override { SetDialogs(nullptr); }
  PresetDialogs(const PresetDialogs&) = delete;
  PresetDialogs& operator=(const PresetDialogs&) = delete;

  int Exec(QDialog& dialog) override {
    asked << "window||" + dialog.objectName();
    std::function<void(QDialog&)> drive = Next(windows, std::function<void(QDialog&)>());
    dialog.setResult(QDialog::Rejected);
    dialog.show();
    if (drive) drive(dialog);
    if (dialog.isVisible()) dialog.reject();
    return dialog.result();
  }
  void ShowMessage(QWidget*, QMessageBox::Icon, const QString& caption,
                   const QString& text) override {
    asked << "message|" + caption + "|" + text;
  }
  bool Ask(QWidget*, const QString& caption, const QString& text) override {
    asked << "question|" + caption + "|" + text;
    return Next(answers, false);
  }
  QString OpenFileName(QWidget*, const QString& caption, const QString&,
                       const QString& filter) override {
    asked << "file|" + caption + "|" + filter;
    return Next(files, QString());
  }
  std::optional<QFont> ChooseFont(QWidget*, const QFont& preset) override {
    asked << "font||";
    std::optional<int> size = Next(fontSizes, std::optional<int>());
    if (!size) return std::nullopt;
    QFont font = preset;
    font.setPointSize(*size);
    return font;
  }
  std::optional<QColor> ChooseColour(QWidget*, const QColor&) override {
    asked << "colour||";
    return Next(colours, std::optional<QColor>());
  }
  QString SaveFileName(QWidget*, const QString& caption, const QString& suggested,
                       const QString&) override {
    asked << "save|" + caption + "|" + suggested;
    return Next(files, QString());
  }

  std::deque<std::function<void(QDialog&)>> windows;
  std::deque<bool> answers;
  std::deque<QString> files;
  std::deque<std::optional<int>> fontSizes;
  std::deque<std::optional<QColor>> colours;
  QStringList asked;

 private:
  template <typename T>
  static T Next(std::deque<T>& answers, T cancelled) {
    if (answers.empty()) return cancelled;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace velkor::test
