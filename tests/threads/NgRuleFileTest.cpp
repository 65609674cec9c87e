#include "threads/NgRuleFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <vector>

#include "search/RegexEngine.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

// Each rule as "kind|pattern|scope|mode", joined by " / ".
std::string Describe(const std::vector<NgRule>& rules) {
  std::string text;
  for (const NgRule& rule : rules) {
    if (!text.empty()) text += " / ";
    text += std::string(NgKindName(rule.kind)) + "|" + rule.pattern + "|" + NgScopeText(rule) +
            "|" + NgModeText(rule);
  }
  return text;
}

TEST(NgRuleFileTest, ReadsRulesWithTheirDefaultsAndSkipsComments) {
  NgRuleFile file;
  file.Parse(
      S("# comment\r\nword\t宣伝\r\n\r\n  \r\nname\t◆Trip\th.example/news\r\n"
        "id\tAbc123\tglobal\thidden+chain\nmail\tsage\th/"
        "b\tabone+chain\rregex\t^a.*b$\tglobal\tabone"));
  EXPECT_TRUE(file.Problems().empty());
  EXPECT_EQ(Describe(file.Rules()), S("word|宣伝|global|abone / name|◆Trip|h.example/news|abone / "
                                      "id|Abc123|global|hidden+chain / mail|sage|h/b|abone+chain / "
                                      "regex|^a.*b$|global|abone"));
}

struct DamageCase {
  const char* name;
  const char* line;
  const char* reason;  // a part of the reported reason
};

void PrintTo(const DamageCase& c, std::ostream* os) {
  *os << c.name;
}

class NgRuleFileDamageTest : public testing::TestWithParam<DamageCase> {};

// A damaged line among good ones is skipped and reported with its line number; the good rules
// around it stay, and writing the file again keeps the damaged line as it was.
TEST_P(NgRuleFileDamageTest, SkipsReportsAndKeepsTheLine) {
  const std::string damaged = S(GetParam().line);
  NgRuleFile file;
  file.Parse("word\tone\r\n" + damaged + "\r\nword\ttwo\r\n");
  EXPECT_EQ(Describe(file.Rules()), "word|one|global|abone / word|two|global|abone");
  ASSERT_EQ(file.Problems().size(), 1u);
  EXPECT_EQ(file.Problems()[0].line, 2);
  EXPECT_NE(file.Problems()[0].reason.find(S(GetParam().reason)), std::string::npos)
      << file.Problems()[0].reason;
  EXPECT_EQ(NgProblemText(file.Problems()[0]).rfind("ng.txt line 2 skipped: ", 0), 0u);

  std::string error;
  EXPECT_EQ(file.Add(NgRule{NgKind::kId, "x", "", false, false}, error), 3);
  ASSERT_TRUE(file.Remove(1));
  EXPECT_EQ(file.Text(), damaged + "\r\nword\ttwo\r\nid\tx\tglobal\tabone\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NgRuleFileDamageTest,
    testing::Values(DamageCase{"NoTab", "word spam", "no TAB"},
                    DamageCase{"UnknownKind", "wrod\tspam", "unknown kind \"wrod\""},
                    DamageCase{"KindCaseCounts", "Word\tspam", "unknown kind"},
                    DamageCase{"EmptyPattern", "word\t", "empty pattern"},
                    DamageCase{"UnknownMode", "word\tspam\tglobal\tinvisible", "unknown mode"},
                    DamageCase{"ChainAlone", "word\tspam\tglobal\t+chain", "unknown mode"},
                    DamageCase{"TooManyFields", "word\tspam\tglobal\tabone\tmore", "four fields"},
                    DamageCase{"BoardWithoutHost", "word\tspam\tnews", "host/board"},
                    DamageCase{"BoardLeavingTheLogFolder", "word\tspam\t../etc", "host/board"},
                    DamageCase{"BoardTooDeep", "word\tspam\th/a/b", "host/board"},
                    DamageCase{"RegexRefused", "regex\t(a", "検索ワードがおかしい"}),
    [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

TEST(NgRuleFileTest, AddRemoveAndRoundTrip) {
  NgRuleFile file;
  std::string error;
  EXPECT_EQ(file.Add(NgRule{NgKind::kWord, S("宣伝"), "", false, true}, error), 1);
  EXPECT_EQ(file.Add(NgRule{NgKind::kName, "n", "h/b", true, false}, error), 2);
  EXPECT_EQ(file.Add(NgRule{NgKind::kWord, S("宣伝"), "", false, true}, error), 1)
      << "an equal rule is not added twice";
  EXPECT_EQ(file.Add(NgRule{NgKind::kWord, S("宣伝"), "", true, true}, error), 3)
      << "another mode is another rule";
  const std::string text = file.Text();
  EXPECT_EQ(text.rfind("# NG rules", 0), 0u) << "a new file explains itself";
  NgRuleFile again;
  again.Parse(text);
  EXPECT_TRUE(again.Problems().empty());
  EXPECT_EQ(again.Rules(), file.Rules());
  EXPECT_EQ(again.Text(), text);

  EXPECT_FALSE(again.Remove(0));
  EXPECT_FALSE(again.Remove(4));
  ASSERT_TRUE(again.Remove(2));
  EXPECT_EQ(Describe(again.Rules()),
            S("word|宣伝|global|abone+chain / word|宣伝|global|hidden+chain"));
}

TEST(NgRuleFileTest, RefusesRulesItCouldNotReadBack) {
  NgRuleFile file;
  std::string error;
  for (const NgRule& rule : {NgRule{NgKind::kWord, "", "", false, false},
                             NgRule{NgKind::kWord, "a\tb", "", false, false},
                             NgRule{NgKind::kWord, "a\nb", "", false, false},
                             NgRule{NgKind::kWord, "a\rb", "", false, false},
                             NgRule{NgKind::kWord, std::string("a\0b", 3), "", false, false},
                             NgRule{NgKind::kWord, "a", "news", false, false},
                             NgRule{NgKind::kWord, "a", "h/..", false, false}}) {
    error.clear();
    EXPECT_EQ(file.Add(rule, error), 0) << rule.pattern << " " << rule.board;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(file.Add(NgRule{NgKind::kRegex, "[a", "", false, false}, error), 0);
  EXPECT_EQ(error, RegexEngine::BadWordText()) << "the search engine's own text";
  EXPECT_TRUE(file.Rules().empty());
  EXPECT_EQ(file.Text(), "") << "nothing to write";
}

TEST(NgRuleFileTest, LoadAndSaveOnDisk) {
  test::TempDataDir dir;
  NgRuleFile file;
  EXPECT_TRUE(file.Load(NgRuleFile::DefaultPath())) << "a missing file is an empty list";
  EXPECT_TRUE(file.Rules().empty());
  EXPECT_EQ(NgRuleFile::DefaultPath(), dir.Path() + "/ini/ng.txt");

  std::string error;
  file.Add(NgRule{NgKind::kId, "Abc", "", false, false}, error);
  ASSERT_TRUE(file.Save(NgRuleFile::DefaultPath()));
  NgRuleFile reread;
  ASSERT_TRUE(reread.Load(NgRuleFile::DefaultPath()));
  EXPECT_EQ(reread.Rules(), file.Rules());

  EXPECT_FALSE(reread.Load(dir.Path() + "/ini")) << "a folder is no rule file";
  EXPECT_TRUE(reread.Rules().empty());

  // A file that cannot be replaced stays as it was.
  const std::string before = dir.ReadFile("ini/ng.txt");
  if (geteuid() != 0) {
    ASSERT_EQ(chmod((dir.Path() + "/ini").c_str(), 0500), 0);
    file.Add(NgRule{NgKind::kId, "Def", "", false, false}, error);
    EXPECT_FALSE(file.Save(NgRuleFile::DefaultPath()));
    chmod((dir.Path() + "/ini").c_str(), 0700);
    EXPECT_EQ(dir.ReadFile("ini/ng.txt"), before);
  }
}

TEST(NgRuleFileTest, FilterForALogTakesItsBoardsRules) {
  test::TempDataDir dir;
  dir.WriteFile("ini/ng.txt", "word\tx\th.example/news\r\nbad line\r\n");
  std::vector<NgRuleFile::Problem> problems;
  EXPECT_FALSE(LoadNgFilterFor(dir.Path() + "/log/h.example/news/1.dat", &problems).Empty());
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].line, 2);
  EXPECT_TRUE(LoadNgFilterFor(dir.Path() + "/log/h.example/other/1.dat").Empty());
  EXPECT_TRUE(LoadNgFilterFor(dir.Path() + "/news/1.dat").Empty());
}

struct BoardCase {
  const char* name;
  const char* path;  // below the data directory; "!" + URL for a board URL
  const char* board;
};

void PrintTo(const BoardCase& c, std::ostream* os) {
  *os << c.name;
}

class NgBoardTest : public testing::TestWithParam<BoardCase> {};

TEST_P(NgBoardTest, NamesTheBoard) {
  test::TempDataDir dir;
  const std::string path = GetParam().path;
  const std::string board =
      path[0] == '!' ? NgBoardOfUrl(path.substr(1)) : NgBoardOfLogPath(dir.Path() + "/" + path);
  EXPECT_EQ(board, GetParam().board);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, NgBoardTest,
    testing::Values(BoardCase{"Log", "log/h.example/news/123.dat", "h.example/news"},
                    BoardCase{"BoardDirectory", "log/h.example/news/", "h.example/news"},
                    BoardCase{"DotsResolved", "log/x/../h.example/./news/1.dat", "h.example/news"},
                    BoardCase{"OutsideTheLogFolder", "other/h.example/news/1.dat", ""},
                    BoardCase{"EscapingTheLogFolder", "log/../h.example/news/1.dat", ""},
                    BoardCase{"HostOnly", "log/h.example/1.dat", ""},
                    BoardCase{"Url", "!http://h.example/news/", "h.example/news"},
                    BoardCase{"HttpsUrl", "!https://h.example/news/", "h.example/news"},
                    BoardCase{"UrlWithoutBoard", "!http://h.example/", ""},
                    BoardCase{"NoUrl", "!news", ""}),
    [](const testing::TestParamInfo<BoardCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
