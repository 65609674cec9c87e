#include "subjects/ThreadState.h"

#include <gtest/gtest.h>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "subjects/SubjectList.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

// Which thread list the window shows while one thread's state is read or written.
enum class Shown { kNone, kOtherBoard, kThisBoard };

struct RouteCase {
  const char* name;
  Shown shown;
};

void PrintTo(const RouteCase& c, std::ostream* os) {
  *os << c.name;
}

class ThreadStateRouteTest : public ::testing::TestWithParam<RouteCase> {
 protected:
  void SetUp() override {
    dir = LogDir() + "/h.example/board/";
    data.WriteFile("log/h.example/board/subject.ini",
                   "[100.dat]\r\nNowNo=1\r\nTitle=t\r\nGotCount=4\r\nUnread=2\r\n\r\n"
                   "[200.dat]\r\nNowNo=-1\r\nPreNo=7\r\n\r\n");
    data.WriteFile("log/h.example/board/100.dat", "a\nb\nc\nd\n");
    data.WriteFile("log/h.example/other/subject.ini", "[100.dat]\r\nTitle=other\r\n\r\n");
    if (GetParam().shown == Shown::kThisBoard) {
      ASSERT_TRUE(list.Bind(SubjectIniPath(dir)));
    }
    if (GetParam().shown == Shown::kOtherBoard) {
      ASSERT_TRUE(list.Bind(LogDir() + "/h.example/other/subject.ini"));
    }
    list.Fill(0xFF);
  }

  std::string OnDisk(const std::string& board) const {
    return data.ReadFile("log/h.example/" + board + "/subject.ini");
  }

  test::TempDataDir data;
  std::string dir;
  SubjectList list;
};

// Writes land in the board's file either way; through the list only when it shows this board,
// whose row then follows, and never in another board's list.
TEST_P(ThreadStateRouteTest, WritesReachTheFileAndTheListOfThisBoardOnly) {
  const bool through = GetParam().shown == Shown::kThisBoard;
  ThreadState state(dir, "100.dat", &list);
  EXPECT_EQ(state.Title(), "t");
  EXPECT_EQ(state.FirstUnread(), 2);
  EXPECT_FALSE(state.IsPast());
  EXPECT_TRUE(ThreadState(dir, "200.dat", &list).IsPast());

  ASSERT_TRUE(state.StoreFirstUnread(3));
  EXPECT_NE(OnDisk("board").find("Unread=3\r\n"), std::string::npos);
  EXPECT_EQ(ThreadState(dir, "100.dat").FirstUnread(), 3);
  if (through) {
    // Rows go by rank: 100.dat comes after the past 200.dat.
    EXPECT_EQ(list.Row(list.RowCount() - 1).unread, 3);
  }

  data.WriteFile("log/h.example/board/100.own", "1\r\n");
  ASSERT_TRUE(state.DeleteLog());
  EXPECT_FALSE(data.Exists("log/h.example/board/100.dat"));
  EXPECT_FALSE(data.Exists("log/h.example/board/100.own")) << "own posts go with the log";
  const std::string reset =
      "[100.dat]\r\nNowNo=1\r\nTitle=t\r\nGotCount=0\r\nUnread=1\r\nLastModified=\r\n"
      "DatSize=0\r\n\r\n[200.dat]\r\nNowNo=-1\r\nPreNo=7\r\n\r\n";
  EXPECT_EQ(OnDisk("board"), reset);
  if (through) {
    EXPECT_EQ(list.Row(list.RowCount() - 1).gotCount, 0);
  }
  // The list's next write keeps what went through it, and touches only its own board.
  if (list.IsBound()) {
    ASSERT_TRUE(list.Flush());
  }
  EXPECT_EQ(OnDisk("board"), reset);
  EXPECT_EQ(OnDisk("other"), "[100.dat]\r\nTitle=other\r\n\r\n");
}

// A state file that cannot be replaced makes every write report false.
TEST_P(ThreadStateRouteTest, AFailedWriteIsReported) {
  ThreadState state(dir, "100.dat", &list);
  ASSERT_TRUE(RemoveFile(dir + "subject.ini"));
  data.WriteFile("log/h.example/board/subject.ini/blocked", "");
  EXPECT_FALSE(state.StoreFirstUnread(3));
  data.WriteFile("log/h.example/board/100.own", "1\r\n");
  EXPECT_FALSE(state.DeleteLog());
  EXPECT_FALSE(data.Exists("log/h.example/board/100.dat"));
  EXPECT_FALSE(data.Exists("log/h.example/board/100.own"));
}

INSTANTIATE_TEST_SUITE_P(Routes, ThreadStateRouteTest,
                         ::testing::Values(RouteCase{"NoList", Shown::kNone},
                                           RouteCase{"OtherBoard", Shown::kOtherBoard},
                                           RouteCase{"ThisBoard", Shown::kThisBoard}),
                         [](const auto& info) { return std::string(info.param.name); });

// Names that are not "<decimal>.dat", and a missing board directory, are refused before anything
// is deleted or written.
TEST(ThreadStateRefusalTest, RefusesWhatIsNoThread) {
  test::TempDataDir data;
  data.WriteFile("log/h/b/x.dat", "a\n");
  const std::string dir = LogDir() + "/h/b/";
  ThreadState named(dir, "x.dat");
  EXPECT_FALSE(named.CanDeleteLog());
  EXPECT_FALSE(named.DeleteLog());
  EXPECT_TRUE(data.Exists("log/h/b/x.dat"));
  EXPECT_FALSE(ThreadState("", "1.dat").StoreFirstUnread(3));
  EXPECT_FALSE(data.Exists("log/h/b/subject.ini"));
}

}  // namespace
}  // namespace velkor
