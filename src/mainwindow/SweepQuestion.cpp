#include "mainwindow/SweepQuestion.h"

#include <QStringList>

#include "sweeper/LogSweeper.h"

namespace velkor {

QString SweepQuestion(const SweepPlan& plan, int tabsClosing) {
  QStringList parts;
  if (plan.boards > 0) {
    parts << QString::fromUtf8("%1板のログ%2件").arg(plan.boards).arg(plan.logs);
  }
  if (plan.otherFiles > 0) {
    parts << QString::fromUtf8("ほかのファイル%1件").arg(plan.otherFiles);
  }
  if (plan.emptyFolders > 0) {
    parts << QString::fromUtf8("空のフォルダ%1個").arg(plan.emptyFolders);
  }
  QString text = parts.join(QString::fromUtf8("、")) + QString::fromUtf8("をゴミ箱に移します。\n");
  if (tabsClosing > 0) text += QString::fromUtf8("表示中のタブ%1つを閉じます。").arg(tabsClosing);
  return text + QString::fromUtf8("よろしいですか？");
}

QString NothingToSweepText() {
  return QString::fromUtf8("整理するログはありません。");
}

}  // namespace velkor
