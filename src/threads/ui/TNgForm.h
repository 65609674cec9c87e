#pragma once

#include <QDialog>
#include <string>

#include "threads/NgRuleFile.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace velkor {

// The NG rule list ("NG設定"): the rules of ng.txt, one a row (number, kind, pattern, scope,
// mode), a rule to add (kind, pattern, this board only, hidden, chained) and the selected rule to
// remove. Every change is written to the file at once and redraws the open threads.
class TNgForm : public QDialog {
  Q_OBJECT

 public:
  // `board` ("host/board", CP932; empty: none) is the board "この板のみ" scopes a new rule to.
  explicit TNgForm(const std::string& board, QWidget* parent = nullptr);

  QTreeWidget* ruleLV;
  QComboBox* kindCB;
  QLineEdit* patternEdit;
  QCheckBox* boardOnlyCB;
  QCheckBox* hiddenCB;
  QCheckBox* chainCB;
  QPushButton* addButton;
  QPushButton* removeButton;
  QPushButton* closeButton;

  void addButtonClick();
  void removeButtonClick();

 private:
  // Shows the rules as the file holds them now.
  void FillRules();

  std::string board_;
  std::vector<NgRule> shown_;
};

// Adds `rule` to the NG rule file (AddNgRuleToFile) and, when the file changed, redraws every open
// thread with the new rules. The failure's reason is for the window to show.
Result<NgRuleFileCode> AddNgRule(const NgRule& rule);

// Removes the rule equal to `rule` from the file (RemoveNgRuleFromFile), the same way.
Result<NgRuleFileCode> RemoveNgRule(const NgRule& rule);

// Reads the NG rules again in every open thread tab and draws those showing a thread anew.
void ReapplyNgRulesToOpenTabs();

}  // namespace velkor
