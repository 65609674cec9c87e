// velkor-cli's thread-list commands on stored state (no network).

#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

constexpr char kBoardDir[] = "log/h.example/board/";

class SubjectCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data.WriteFile("ini/subscrib.ini", S("[ニュース]\r\n速報=http://h.example/board/\r\n"
                                         "悪い板=http://h.example/../x/\r\n\r\n"));
    data.WriteFile(std::string(kBoardDir) + "subject.ini",
                   S("[10.dat]\r\nNowNo=2\r\nPreNo=0\r\nResCount=5\r\nTitle=新スレ\r\n\r\n"
                     "[20.dat]\r\nNowNo=-1\r\nPreNo=4\r\nResCount=3\r\nTitle=落ちた\r\n"
                     "GotCount=3\r\nUnread=2\r\nDatSize=4096\r\n\r\n"
                     "[30.dat]\r\nNowNo=1\r\nPreNo=1\r\nResCount=2\r\nTitle=既読\r\n"
                     "GotCount=2\r\nUnread=3\r\n\r\n"));
    data.WriteFile(std::string(kBoardDir) + "20.dat",
                   S("a<><>d<>一<>落ちた\nb<><>d<>二<>\nc<><>d<>三<>\n"));
  }
  test::CliResult Run(const std::vector<std::string>& args) { return test::RunCli(data, args); }

  test::TempDataDir data;
};

TEST_F(SubjectCommandsTest, ThreadsPrintsTheRowsOfAShowType) {
  auto all = Run({"threads", "ニュース", "速報", "--show", "1"});
  ASSERT_EQ(all.exitCode, 0) << all.err;
  EXPECT_EQ(all.out,
            "dat\t4\t落ちた\t3\t3\t2\t\t4,096\t20.dat\n"
            "1\t1\t既読\t2\t2\t0\t\t0\t30.dat\n"
            "2\t-\t新スレ\t5\t0\t0\t\t0\t10.dat\n");
  EXPECT_EQ(Run({"threads", "ニュース", "速報"}).out,
            "dat\t4\t落ちた\t3\t3\t2\t\t4,096\t20.dat\n"
            "2\t-\t新スレ\t5\t0\t0\t\t0\t10.dat\n");
  EXPECT_EQ(Run({"threads", "ニュース", "速報", "--show", "1", "--sort", "1"}).out,
            "2\t-\t新スレ\t5\t0\t0\t\t0\t10.dat\n"
            "1\t1\t既読\t2\t2\t0\t\t0\t30.dat\n"
            "dat\t4\t落ちた\t3\t3\t2\t\t4,096\t20.dat\n")
      << "the first sort by rank puts the highest rank first";
  EXPECT_EQ(Run({"threads", "ニュース", "速報", "--show", "1", "--sort", "4", "--sort", "6"}).out,
            "dat\t4\t落ちた\t3\t3\t2\t\t4,096\t20.dat\n"
            "2\t-\t新スレ\t5\t0\t0\t\t0\t10.dat\n"
            "1\t1\t既読\t2\t2\t0\t\t0\t30.dat\n")
      << "most unread first; equal counts keep the order of the sort by replies";
}

TEST_F(SubjectCommandsTest, BookmarkAndDeleteLogChangeTheState) {
  ASSERT_EQ(Run({"bookmark", "ニュース", "速報", "20", "3"}).exitCode, 0);
  EXPECT_NE(Run({"threads", "ニュース", "速報", "--show", "1"}).out.find("落ちた\t3\t3\t1\t"),
            std::string::npos);
  ASSERT_EQ(Run({"bookmark", "ニュース", "速報", "20.dat", "0"}).exitCode, 0);
  EXPECT_NE(data.ReadFile(std::string(kBoardDir) + "subject.ini").find("Unread=4\r\n"),
            std::string::npos);

  auto deleted = Run({"delete-log", "ニュース", "速報", "20"});
  ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
  EXPECT_FALSE(data.Exists(std::string(kBoardDir) + "20.dat"));
  EXPECT_EQ(Run({"threads", "ニュース", "速報", "--show", "3"}).out,
            "dat\t4\t落ちた\t3\t0\t0\t\t0\t20.dat\n"
            "2\t-\t新スレ\t5\t0\t0\t\t0\t10.dat\n");
}

TEST_F(SubjectCommandsTest, AThreadKnownOnlyByItsBookmarkIsNeverListed) {
  ASSERT_EQ(Run({"bookmark", "ニュース", "速報", "99", "5"}).exitCode, 0);
  EXPECT_TRUE(data.ReadFile(std::string(kBoardDir) + "subject.ini")
                  .ends_with("\r\n\r\n[99.dat]\r\nUnread=5\r\n\r\n"));
  EXPECT_EQ(Run({"threads", "ニュース", "速報", "--show", "1"}).out,
            "dat\t4\t落ちた\t3\t3\t2\t\t4,096\t20.dat\n"
            "-\t-\t\t0\t0\t0\t\t0\t99.dat\n"
            "1\t1\t既読\t2\t2\t0\t\t0\t30.dat\n"
            "2\t-\t新スレ\t5\t0\t0\t\t0\t10.dat\n")
      << "after the past threads, before rank 1";
  EXPECT_EQ(Run({"threads", "ニュース", "速報", "--show", "1", "--sort", "0"}).out,
            "dat\t4\t落ちた\t3\t3\t2\t\t4,096\t20.dat\n"
            "-\t-\t\t0\t0\t0\t\t0\t99.dat\n"
            "2\t-\t新スレ\t5\t0\t0\t\t0\t10.dat\n"
            "1\t1\t既読\t2\t2\t0\t\t0\t30.dat\n")
      << "state descending: past and unread, new without log, read with log";
}

TEST_F(SubjectCommandsTest, OpenWithoutNewDataMarksTheThreadRead) {
  // ResCount 3 and GotCount 3: nothing to fetch, no network needed.
  auto open = Run({"open", "ニュース", "速報", "20", "--page", data.Path() + "/page.html"});
  ASSERT_EQ(open.exitCode, 0) << open.err;
  EXPECT_EQ(open.out, "2\n");
  std::string page = data.ReadFile("page.html");
  EXPECT_NE(page.find(S("三")), std::string::npos);
  EXPECT_LT(page.find("name=\"a1\""), page.find("name=\"midoku\""));
  EXPECT_LT(page.find("name=\"midoku\""), page.find("name=\"a2\""));
  EXPECT_NE(data.ReadFile(std::string(kBoardDir) + "subject.ini").find("Unread=4\r\n"),
            std::string::npos);
  EXPECT_EQ(Run({"open", "ニュース", "速報", "20"}).out, "4\n");
}

struct RefusedCase {
  const char* name;
  std::vector<std::string> args;
  int exitCode;
};

class SubjectCommandsRefuseTest : public SubjectCommandsTest,
                                  public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(SubjectCommandsRefuseTest, RefusesWithoutTouchingFiles) {
  std::string before = data.ReadFile(std::string(kBoardDir) + "subject.ini");
  auto result = Run(GetParam().args);
  EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
  EXPECT_FALSE(result.err.empty());
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(data.ReadFile(std::string(kBoardDir) + "subject.ini"), before);
  EXPECT_TRUE(data.Exists(std::string(kBoardDir) + "20.dat"));
  EXPECT_FALSE(data.Exists("log/h.example/x"));
  EXPECT_FALSE(data.Exists("log/x"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubjectCommandsRefuseTest,
    ::testing::Values(
        RefusedCase{"UnknownBoard", {"threads", "ニュース", "なし"}, 1},
        RefusedCase{"UnsafeBoardUrl", {"threads", "ニュース", "悪い板"}, 1},
        RefusedCase{"UnsafeBoardUrlFetch", {"fetch", "ニュース", "悪い板", "1"}, 1},
        RefusedCase{"KeyWithPath", {"delete-log", "ニュース", "速報", "../20"}, 2},
        RefusedCase{"KeyNotDecimal", {"fetch", "ニュース", "速報", "abc.dat"}, 2},
        RefusedCase{"ShowOutOfRange", {"threads", "ニュース", "速報", "--show", "6"}, 2},
        RefusedCase{"SortOutOfRange", {"threads", "ニュース", "速報", "--sort", "10"}, 2},
        RefusedCase{"BookmarkNotANumber", {"bookmark", "ニュース", "速報", "20", "x"}, 2},
        RefusedCase{"OpenOnUnsafeBoard", {"open", "ニュース", "悪い板", "10"}, 1},
        RefusedCase{"CheckTakesNoBoard", {"check", "ニュース"}, 2},
        RefusedCase{"NextKeyNotDecimal", {"next", "ニュース", "速報", "../20"}, 2},
        RefusedCase{"NextOnUnknownBoard", {"next", "ニュース", "なし", "20"}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
