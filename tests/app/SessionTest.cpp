#include "app/Session.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

TEST(SessionTest, WhatIsSavedComesBack) {
  test::TempDataDir dir;
  Session session;
  session.category = S("趣味");
  session.board = S("釣り");
  session.tabs = {{"hobby.test/fish", "1000000001.dat", "a120", S("釣れた")},
                  {"news.test/flash", "1000000002.dat", "midoku", "two\r\nlines"}};
  session.activeTab = 1;
  session.maximized = true;
  ASSERT_TRUE(SaveSession(SessionPath(), session));
  EXPECT_EQ(dir.ReadFile("ini/session.ini"),
            S("[Session]\r\nCategory=趣味\r\nBoard=釣り\r\nActiveTab=1\r\nMaximized=1\r\n\r\n"
              "[Tab1]\r\nFolder=hobby.test/fish\r\nDat=1000000001.dat\r\nAnchor=a120\r\n"
              "Title=釣れた\r\n\r\n"
              "[Tab2]\r\nFolder=news.test/flash\r\nDat=1000000002.dat\r\nAnchor=midoku\r\n"
              "Title=twolines\r\n\r\n"));
  const Session loaded = LoadSession(SessionPath());
  EXPECT_EQ(loaded.category, session.category);
  EXPECT_EQ(loaded.board, session.board);
  ASSERT_EQ(loaded.tabs.size(), 2u);
  EXPECT_EQ(loaded.tabs[0].folder, "hobby.test/fish");
  EXPECT_EQ(loaded.tabs[0].anchor, "a120");
  EXPECT_EQ(loaded.tabs[1].title, "twolines");
  EXPECT_EQ(loaded.activeTab, 1);
  EXPECT_TRUE(loaded.maximized);
  EXPECT_TRUE(LoadSession(dir.Path() + "/ini/none.ini").tabs.empty());
}

// A file changed by hand cannot lead a tab out of the log tree or to a file that is no log.
TEST(SessionTest, UnsafeTabsAreLeftOut) {
  test::TempDataDir dir;
  dir.WriteFile("ini/session.ini",
                "[Session]\r\nActiveTab=3\r\n\r\n"
                "[Tab1]\r\nFolder=../etc\r\nDat=1.dat\r\nAnchor=midoku\r\n\r\n"
                "[Tab2]\r\nFolder=host/board\r\nDat=passwd\r\nAnchor=midoku\r\n\r\n"
                "[Tab3]\r\nFolder=host/board\r\nDat=2.dat\r\nAnchor=javascript:x\r\n\r\n"
                "[Tab4]\r\nFolder=host/board\r\nDat=3.dat\r\nAnchor=a7\r\n\r\n"
                "[Tab5]\r\nFolder=/abs/board\r\nDat=4.dat\r\nAnchor=midoku\r\n\r\n");
  const Session loaded = LoadSession(SessionPath());
  ASSERT_EQ(loaded.tabs.size(), 1u);
  EXPECT_EQ(loaded.tabs[0].datName, "3.dat");
  EXPECT_EQ(loaded.activeTab, 0);
}

}  // namespace
}  // namespace velkor
