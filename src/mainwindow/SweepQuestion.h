#pragma once

#include <QString>

namespace velkor {

struct SweepPlan;

// The question the log clean-up asks before it removes anything: how many logs of how many boards,
// other files and emptied folders go to the trash, and how many open tabs close with them, e.g.
// "2板のログ15件、空のフォルダ1個をゴミ箱に移します。\n表示中のタブ1つを閉じます。よろしいですか？".
QString SweepQuestion(const SweepPlan& plan, int tabsClosing);

// What the clean-up says when there is nothing to remove: "整理するログはありません。".
QString NothingToSweepText();

}  // namespace velkor
