#include "subjects/SubjectList.h"

#include <gtest/gtest.h>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

constexpr char kBoard[] = "log/h.example/board/";

class SubjectListTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(list.Bind(LogDir() + "/h.example/board/subject.ini")); }

  std::int64_t Value(const std::string& dat, const char* key, std::int64_t fallback = -999) {
    IniDocument ini;
    ini.Load(list.Dir() + "subject.ini");
    return ini.ReadInteger(dat, key, fallback);
  }
  bool Known(const std::string& dat) {
    IniDocument ini;
    ini.Load(list.Dir() + "subject.ini");
    return ini.SectionExists(dat);
  }
  // The rows as "datName:col1,col2" for compact comparisons.
  std::vector<std::string> DatNames() {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < list.RowCount(); ++i) names.push_back(list.Row(i).datName);
    return names;
  }

  test::TempDataDir data;
  SubjectList list;
};

TEST_F(SubjectListTest, BindCreatesTheBoardDirectoryAndBuildsTheBoardUrl) {
  EXPECT_TRUE(data.Exists(kBoard));
  EXPECT_EQ(list.Dir(), LogDir() + "/h.example/board/");
  EXPECT_EQ(list.BoardUrlFromDir(), "http://h.example/board/");
  // A folder no list names: https for the service's hosts, and "%" never decoded a second time.
  ASSERT_TRUE(list.Bind(LogDir() + "/a.5ch.io/%2e%2e/subject.ini"));
  EXPECT_EQ(list.BoardUrlFromDir(), "https://a.5ch.io/%252e%252e/");
  // The URL the list is bound with (a favourite's) keeps its scheme.
  ASSERT_TRUE(list.Bind(LogDir() + "/h.example/board/subject.ini", "https://h.example/board/"));
  EXPECT_EQ(list.BoardUrlFromDir(), "https://h.example/board/");
  ASSERT_TRUE(list.Bind(LogDir() + "/h.example/a?b#c/subject.ini"));
  EXPECT_EQ(list.BoardUrlFromDir(), "http://h.example/a%3Fb%23c/");
  list.Release();
  EXPECT_FALSE(list.IsBound());
  EXPECT_EQ(list.BoardUrlFromDir(), "");
  EXPECT_FALSE(list.Merge({"1.dat<>a (1)"}));
  EXPECT_EQ(list.UnreadOf("1.dat"), 0);
  EXPECT_EQ(list.SetUnread("1.dat", 3, true), 0);
  EXPECT_EQ(list.IndexOfDat("1.dat"), -1);
}

TEST_F(SubjectListTest, MergeAcrossThreeListsMakesThreadsNewPastAndForgotten) {
  // First list: three threads, all new.
  ASSERT_TRUE(list.Merge({S("100.dat<>一番目のスレ (10)"), "broken line without paren",
                          S("200.dat<>二番目 &amp; その他  (20)"), S("300.dat<>三番目 (30)")}));
  EXPECT_EQ(Value("100.dat", "NowNo"), 1);
  EXPECT_EQ(Value("100.dat", "PreNo"), 0);
  EXPECT_EQ(Value("200.dat", "NowNo"), 2) << "the broken line was joined, not counted";
  EXPECT_EQ(Value("300.dat", "NowNo"), 3);
  IniDocument ini;
  ini.Load(list.Dir() + "subject.ini");
  EXPECT_EQ(ini.ReadString("100.dat", "Title", ""), S("一番目のスレ"))
      << "joined, then cut at the last (";
  EXPECT_EQ(ini.ReadString("200.dat", "Title", ""), S("二番目 & その他"));

  // 100 and 200 get logs; 100 is read completely, 200 not at all.
  list.StoreFetched("a\nb\nc\n", "100.dat", false, " Mon, 07 Dec 2026 10:00:00 GMT");
  list.SetUnread("100.dat", 0, false);
  list.StoreFetched("a\nb\n", "200.dat", true, " x");
  data.WriteFile(std::string(kBoard) + "100.dat", "a\nb\nc\n");
  data.WriteFile(std::string(kBoard) + "200.dat", "a\nb\n");
  data.WriteFile(std::string(kBoard) + "100.own", "2\r\n");
  data.WriteFile(std::string(kBoard) + "200.own", "1\r\n");
  EXPECT_EQ(Value("100.dat", "Unread"), 4);

  // Second list: 300 (no log) is forgotten, 100 and 200 become past, 400 is new; the title of a
  // known thread is kept.
  ASSERT_TRUE(
      list.Merge({S("400.dat<>四 (1)"), "9/../9.dat<>unsafe (3)", "300.dat<>renamed (31)"}));
  EXPECT_EQ(Value("300.dat", "NowNo"), 3) << "the position counts the refused line";
  EXPECT_EQ(Value("300.dat", "PreNo"), 3);
  ini.Load(list.Dir() + "subject.ini");
  EXPECT_EQ(ini.ReadString("300.dat", "Title", ""), S("三番目"));
  EXPECT_FALSE(ini.SectionExists("9/../9.dat"));
  EXPECT_EQ(Value("100.dat", "NowNo"), -1);
  EXPECT_EQ(Value("100.dat", "PreNo"), 1);
  EXPECT_EQ(Value("200.dat", "NowNo"), -1);
  EXPECT_EQ(Value("200.dat", "PreNo"), 2);

  // Third list: neither 100 nor 200 listed again; both were past once, now PreNo says so too. 300
  // had no log: forgotten.
  ASSERT_TRUE(list.Merge({S("400.dat<>四 (2)")}));
  for (const char* dat : {"100.dat", "200.dat"}) {
    EXPECT_EQ(Value(dat, "NowNo"), -1) << dat;
    EXPECT_EQ(Value(dat, "PreNo"), -1) << dat;
  }
  EXPECT_FALSE(Known("300.dat"));
  EXPECT_EQ(Value("400.dat", "PreNo"), 1);
  EXPECT_EQ(Value("400.dat", "ResCount"), 2);

  // Fourth list: 100, past before and fully read, is forgotten with its log; 200 has unread replies
  // and stays; 400 (no log) is forgotten.
  ASSERT_TRUE(list.Merge({}));
  EXPECT_FALSE(Known("100.dat"));
  EXPECT_FALSE(data.Exists(std::string(kBoard) + "100.dat"));
  EXPECT_FALSE(data.Exists(std::string(kBoard) + "100.own")) << "own posts go with the log";
  EXPECT_TRUE(Known("200.dat"));
  EXPECT_TRUE(data.Exists(std::string(kBoard) + "200.dat"));
  EXPECT_TRUE(data.Exists(std::string(kBoard) + "200.own"));
  EXPECT_FALSE(Known("400.dat"));
  ASSERT_TRUE(list.Merge({}));
  EXPECT_TRUE(Known("200.dat")) << "a past thread that is never read stays";
}

TEST_F(SubjectListTest, AThreadListedTwiceKeepsItsFirstPlace) {
  ASSERT_TRUE(list.Merge({"1.dat<>a (1)", "2.dat<>b (2)"}));
  ASSERT_TRUE(list.Merge({"2.dat<>b (3)", "1.dat<>a (1)", "2.dat<>b again (4)"}));
  EXPECT_EQ(Value("2.dat", "NowNo"), 1);
  EXPECT_EQ(Value("2.dat", "PreNo"), 2);
  EXPECT_EQ(Value("2.dat", "ResCount"), 3);
}

TEST_F(SubjectListTest, MergeIntoAnEmptyStateWritesNewSectionsInListOrder) {
  ASSERT_TRUE(list.Merge(
      {S("1700000002.dat<>二 &quot;引用&quot; &lt;b&gt; (1001)"), S("1700000001.dat<>一  (12)")}));
  EXPECT_EQ(data.ReadFile(std::string(kBoard) + "subject.ini"),
            S("[1700000002.dat]\r\nPreNo=0\r\nNowNo=1\r\nResCount=1001\r\n"
              "Title=二 \"引用\" <b>\r\n\r\n"
              "[1700000001.dat]\r\nPreNo=0\r\nNowNo=2\r\nResCount=12\r\nTitle=一\r\n\r\n"));
}

TEST_F(SubjectListTest, MergeIntoAKnownStateKeepsSectionAndKeyOrder) {
  data.WriteFile(std::string(kBoard) + "subject.ini",
                 S("[1700000001.dat]\r\nNowNo=2\r\nPreNo=0\r\nResCount=12\r\nTitle=一\r\n"
                   "GotCount=12\r\nUnread=5\r\nLastModified= Mon, 07 Dec 2026 10:00:00 GMT\r\n"
                   "DatSize=345\r\n\r\n"
                   "[1600000000.dat]\r\nNowNo=3\r\nPreNo=3\r\nResCount=5\r\nTitle=x\r\n"
                   "GotCount=5\r\nUnread=6\r\n\r\n"
                   "[1500000000.dat]\r\nUnread=1\r\n\r\n"));
  ASSERT_TRUE(list.Bind(LogDir() + "/h.example/board/subject.ini"));
  ASSERT_TRUE(list.Merge({S("1800000000.dat<>新 (1)"), S("1700000001.dat<>一改 (20)")}));
  EXPECT_EQ(data.ReadFile(std::string(kBoard) + "subject.ini"),
            S("[1700000001.dat]\r\nNowNo=2\r\nPreNo=2\r\nResCount=20\r\nTitle=一\r\n"
              "GotCount=12\r\nUnread=5\r\nLastModified= Mon, 07 Dec 2026 10:00:00 GMT\r\n"
              "DatSize=345\r\n\r\n"
              "[1600000000.dat]\r\nNowNo=-1\r\nPreNo=3\r\nResCount=5\r\nTitle=x\r\n"
              "GotCount=5\r\nUnread=6\r\n\r\n"
              "[1800000000.dat]\r\nPreNo=0\r\nNowNo=1\r\nResCount=1\r\nTitle=新\r\n\r\n"));
}

TEST_F(SubjectListTest, AFullThreadLooksLikeAnyOtherThread) {
  // A full thread without a log keeps the no-log colour and sorts by state like one.
  ASSERT_TRUE(list.Merge({"1.dat<>full (1001)", "2.dat<>small (3)"}));
  ASSERT_TRUE(list.Merge({"1.dat<>full (1001)", "3.dat<>new (1)"}));
  Settings& s = AppSettings();
  Settings saved = s;
  s.newThreadColor = 4;
  s.over1000ThreadColor = 5;
  s.nologThreadColor = 6;
  list.Fill(0xFF);
  std::vector<Colour> colours;
  for (std::size_t i = 0; i < list.RowCount(); ++i) colours.push_back(list.RowColour(i));
  s = saved;
  ASSERT_EQ(DatNames(), (std::vector<std::string>{"1.dat", "3.dat"}));
  EXPECT_EQ(colours, (std::vector<Colour>{6, 4}));
  list.SortBy(0);
  EXPECT_EQ(DatNames(), (std::vector<std::string>{"3.dat", "1.dat"}))
      << "state 0x12 before 0x02 when descending";
  list.Fill(ShowTypeMask(ShowType::kThreads));
  EXPECT_EQ(DatNames(), (std::vector<std::string>{"3.dat"}));
}

struct StateCase {
  const char* name;
  int gotCount, unread, resCount, preNo, nowNo;
  int state;
  int unreadCount;
};

class ThreadStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(ThreadStateTest, FlagsAndUnreadCount) {
  const StateCase& c = GetParam();
  EXPECT_EQ(ComputeThreadState(c.gotCount, c.unread, c.resCount, c.preNo, c.nowNo), c.state);
  EXPECT_EQ(UnreadCountOf(c.gotCount, c.unread), c.unreadCount);
}

INSTANTIATE_TEST_SUITE_P(
    States, ThreadStateTest,
    ::testing::Values(StateCase{"NewWithoutLog", 0, 1, 5, 0, 3, 0x12, 0},
                      StateCase{"ReadAndListed", 10, 11, 10, 2, 3, 0x04, 0},
                      StateCase{"MoreListedThanStored", 10, 11, 12, 2, 3, 0x0C, 0},
                      StateCase{"PartlyRead", 10, 5, 10, 2, 3, 0x0C, 6},
                      StateCase{"PastUnread", 10, 1, 10, 2, -1, 0x4C, 10},
                      StateCase{"PastRead", 10, 11, 10, -1, -1, 0x44, 0},
                      StateCase{"FullThreadWithoutLog", 0, 1, 1001, 5, 4, 0x02, 0},
                      StateCase{"NeverListedNoLog", 0, 1, 0, 3, 0, 0x02, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A board with one thread of each kind, written as subject.ini directly.
class SubjectRowsTest : public SubjectListTest {
 protected:
  void SetUp() override {
    data.WriteFile(std::string(kBoard) + "subject.ini",
                   S("[10.dat]\r\nNowNo=2\r\nPreNo=0\r\nResCount=5\r\nTitle=新スレ\r\n\r\n"
                     "[20.dat]\r\nNowNo=-1\r\nPreNo=4\r\nResCount=30\r\nTitle=落ちたスレ\r\n"
                     "GotCount=30\r\nUnread=31\r\nLastModified= Sun, 06 Dec 2026 01:00:00 GMT\r\n"
                     "DatSize=1234567\r\n\r\n"
                     "[30.dat]\r\nNowNo=1\r\nPreNo=1\r\nResCount=12\r\nTitle=読みかけ\r\n"
                     "GotCount=10\r\nUnread=5\r\nLastModified= Mon, 07 Dec 2026 02:00:00 GMT\r\n"
                     "DatSize=999\r\n\r\n"
                     "[40.dat]\r\nNowNo=3\r\nPreNo=3\r\nResCount=7\r\nTitle=既読\r\n"
                     "GotCount=7\r\nUnread=8\r\nDatSize=1000\r\n\r\n"
                     "[50.dat]\r\nNowNo=4\r\nPreNo=-1\r\nResCount=3\r\nTitle=ログなし\r\n\r\n"));
    SubjectListTest::SetUp();
  }
};

struct ShowCase {
  const char* name;
  int showType;
  std::vector<std::string> rows;
};

class FillTest : public SubjectRowsTest, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(FillTest, ShowsMatchingThreadsByRank) {
  list.Fill(kShowTypeMasks[GetParam().showType]);
  EXPECT_EQ(DatNames(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    ShowTypes, FillTest,
    ::testing::Values(ShowCase{"Threads", 0, {"20.dat", "30.dat", "10.dat"}},
                      ShowCase{"All", 1, {"20.dat", "30.dat", "10.dat", "40.dat", "50.dat"}},
                      ShowCase{"WithLog", 2, {"20.dat", "30.dat", "40.dat"}},
                      ShowCase{"WithoutLog", 3, {"10.dat", "50.dat"}},
                      ShowCase{"Unread", 4, {"30.dat"}}, ShowCase{"New", 5, {"10.dat"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SubjectRowsTest, CellTextsFollowTheColumns) {
  list.Fill(0xFF);
  auto join = [&](std::size_t row) {
    std::string line;
    auto texts = list.CellTexts(row);
    EXPECT_EQ(texts[0], "");
    for (int c = 1; c < kSubjectColumnCount; ++c) line += (c > 1 ? "|" : "") + texts[c];
    return SjisToUtf8Lossy(line);
  };
  EXPECT_EQ(join(0), "dat|4|落ちたスレ|30|30|0| Sun, 06 Dec 2026 01:00:00 GMT|1,234,567|20.dat");
  EXPECT_EQ(join(1), "1|1|読みかけ|12|10|6| Mon, 07 Dec 2026 02:00:00 GMT|999|30.dat");
  EXPECT_EQ(join(2), "2|-|新スレ|5|0|0||0|10.dat");
  EXPECT_EQ(join(3), "3|3|既読|7|7|0||1,000|40.dat");
  EXPECT_EQ(join(4), "4|dat|ログなし|3|0|0||0|50.dat");
  EXPECT_EQ(list.CellTexts(5)[9], "") << "beyond the rows";
}

TEST_F(SubjectRowsTest, RowColoursTakeTheFirstMatchingRule) {
  Settings& s = AppSettings();
  Settings saved = s;
  s.unreadThreadColor = 1;
  s.pastThreadColor = 2;
  s.logExistThreadColor = 3;
  s.newThreadColor = 4;
  s.over1000ThreadColor = 5;
  s.nologThreadColor = 6;
  list.Fill(0xFF);
  std::vector<Colour> colours;
  for (std::size_t i = 0; i < list.RowCount(); ++i) colours.push_back(list.RowColour(i));
  s = saved;
  // 20 past and read, 30 unread, 10 new, 40 read with log, 50 without log.
  EXPECT_EQ(colours, (std::vector<Colour>{2, 1, 4, 3, 6}));
  EXPECT_EQ(ThreadStateColour(kThreadUnread | kThreadPast, s), s.unreadThreadColor);
  EXPECT_EQ(ThreadStateColour(kThreadOver1000 | kThreadNoLog, s), s.over1000ThreadColor);
}

TEST_F(SubjectRowsTest, SortDirectionsFlipOnEveryClickAndResetOnFill) {
  list.Fill(0xFF);
  EXPECT_TRUE(list.SortDescending(1));
  EXPECT_FALSE(list.SortDescending(3));
  list.SortBy(1);
  EXPECT_EQ(DatNames(),
            (std::vector<std::string>{"50.dat", "40.dat", "10.dat", "30.dat", "20.dat"}));
  EXPECT_FALSE(list.SortDescending(1));
  list.SortBy(1);
  EXPECT_EQ(DatNames(),
            (std::vector<std::string>{"20.dat", "30.dat", "10.dat", "40.dat", "50.dat"}));
  list.SortBy(6);  // most unread first
  EXPECT_EQ(list.Row(0).datName, "30.dat");
  list.SortBy(8);  // size ascending
  EXPECT_EQ(DatNames(),
            (std::vector<std::string>{"10.dat", "50.dat", "30.dat", "40.dat", "20.dat"}));
  list.SortBy(3);  // titles bytewise ascending
  std::vector<std::string> titles;
  for (std::size_t i = 0; i < list.RowCount(); ++i) titles.push_back(list.Row(i).title);
  EXPECT_TRUE(std::is_sorted(titles.begin(), titles.end()));
  list.SortBy(2);  // previous rank ascending: -1 first
  EXPECT_EQ(list.Row(0).datName, "50.dat");
  list.SortBy(99);
  list.Fill(0xFF);
  EXPECT_TRUE(list.SortDescending(1));
  EXPECT_FALSE(list.SortDescending(8));
}

TEST_F(SubjectRowsTest, RowOperationsKeepRowsAndStateInStep) {
  list.Fill(0xFF);
  int row = list.IndexOfDat("30.dat");
  ASSERT_EQ(row, 1);
  EXPECT_EQ(list.UnreadOf("30.dat"), 5);
  EXPECT_EQ(list.SetUnreadAt(row, "30.dat", true, -1), 11);
  EXPECT_EQ(list.Row(row).unread, 11);
  EXPECT_EQ(list.Row(row).state & kThreadUnread, kThreadUnread) << "12 listed, 10 stored";
  EXPECT_EQ(Value("30.dat", "Unread"), 11);

  data.WriteFile(std::string(kBoard) + "30.dat", "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n");
  list.StoreFetched("1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n", "30.dat", true, " T");
  list.RefreshRow(row);
  EXPECT_EQ(list.Row(row).gotCount, 12);
  EXPECT_EQ(list.Row(row).datSize, 27);
  EXPECT_EQ(list.Row(row).lastModified, " T");
  EXPECT_EQ(UnreadCountOf(list.Row(row).gotCount, list.Row(row).unread), 2);

  ASSERT_TRUE(list.DeleteLog(row, "30.dat", false));
  EXPECT_FALSE(data.Exists(std::string(kBoard) + "30.dat"));
  EXPECT_EQ(list.Row(row).state, kThreadNoLog);
  EXPECT_EQ(list.CellTexts(row)[8], "0");
  EXPECT_EQ(Value("30.dat", "GotCount"), 12) << "not written with flush off";
  ASSERT_TRUE(list.Flush());
  EXPECT_EQ(Value("30.dat", "GotCount"), 0);
  EXPECT_EQ(Value("30.dat", "Unread"), 1);

  int past = list.IndexOfDat("20.dat");
  ASSERT_TRUE(list.DeleteLog(past, "20.dat", true));
  EXPECT_EQ(list.CellTexts(past)[1], "dat") << "a past thread stays past without its log";
  EXPECT_FALSE(list.ResetThread("../20.dat", true));

  ASSERT_TRUE(list.MarkPast("30.dat", true));
  list.RefreshRow(row);
  EXPECT_EQ(list.CellTexts(row)[1], "dat") << "a log from the archive shows the thread as past";
  EXPECT_EQ(list.CellTexts(row)[2], "1");
  ASSERT_TRUE(list.MarkPast("30.dat", true));
  EXPECT_EQ(Value("30.dat", "PreNo"), 1) << "already past: left alone";
}

TEST_F(SubjectRowsTest, FilterRowsKeepsMatchingTitles) {
  list.Fill(0xFF);
  list.FilterRows(
      [](std::string_view title) { return title.find(Sjis("スレ")) != std::string_view::npos; });
  EXPECT_EQ(DatNames(), (std::vector<std::string>{"20.dat", "10.dat"}));
  list.Fill(0xFF);
  EXPECT_EQ(list.RowCount(), 5u) << "items and state were untouched";
}

TEST_F(SubjectRowsTest, FillReportsGrowthWhileLoading) {
  std::string ini;
  for (int i = 1; i <= 100; ++i)
    ini += "[" + std::to_string(i) + ".dat]\r\nNowNo=" + std::to_string(101 - i) + "\r\n\r\n";
  data.WriteFile(std::string(kBoard) + "subject.ini", ini);
  ASSERT_TRUE(list.Bind(LogDir() + "/h.example/board/subject.ini"));
  std::vector<std::size_t> growth;
  std::vector<std::string> firstRows;  // the rows are in rank order whenever the view looks
  list.Fill(0xFF, [&](std::size_t rows) {
    growth.push_back(rows);
    firstRows.push_back(list.Row(0).datName);
  });
  EXPECT_EQ(growth, (std::vector<std::size_t>{31, 95, 100}));
  EXPECT_EQ(firstRows, (std::vector<std::string>{"31.dat", "95.dat", "100.dat"}));
  EXPECT_EQ(list.Row(0).datName, "100.dat");
}

TEST_F(SubjectListTest, EmptyStateGivesNoRows) {
  list.Fill(0xFF);
  EXPECT_EQ(list.RowCount(), 0u);
  EXPECT_EQ(list.UnreadOf("5.dat"), 1);
  EXPECT_EQ(list.SetUnread("5.dat", 0, true), 1);
}

}  // namespace
}  // namespace velkor
