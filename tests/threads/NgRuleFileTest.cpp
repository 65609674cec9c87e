#include "threads/NgRuleFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include <ostream>
#include <string>
#include <vector>

#include "search/RegexEngine.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

// While it lives, no file of the process may grow beyond `bytes`: writes past that fail with EFBIG
// (SIGXFSZ ignored), whoever runs the test.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

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

  EXPECT_EQ(file.Add(NgRule{NgKind::kId, "x", "", false, false}).Value(), 3);
  ASSERT_TRUE(file.Remove(1).IsOk());
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
  EXPECT_EQ(file.Add(NgRule{NgKind::kWord, S("宣伝"), "", false, true}).Value(), 1);
  EXPECT_EQ(file.Add(NgRule{NgKind::kName, "n", "h/b", true, false}).Value(), 2);
  EXPECT_EQ(file.Add(NgRule{NgKind::kWord, S("宣伝"), "", false, true}).Value(), 1)
      << "an equal rule is not added twice";
  EXPECT_EQ(file.Add(NgRule{NgKind::kWord, S("宣伝"), "", true, true}).Value(), 3)
      << "another mode is another rule";
  const std::string text = file.Text();
  EXPECT_EQ(text.rfind("# NG rules", 0), 0u) << "a new file explains itself";
  NgRuleFile again;
  again.Parse(text);
  EXPECT_TRUE(again.Problems().empty());
  EXPECT_EQ(again.Rules(), file.Rules());
  EXPECT_EQ(again.Text(), text);

  EXPECT_EQ(again.Remove(0).Code(), NgRuleFileCode::kNoSuchRule);
  EXPECT_EQ(again.Remove(4).Reason(), S("エラー:そのNGルールはありません."));
  ASSERT_TRUE(again.Remove(2).IsOk());
  EXPECT_EQ(Describe(again.Rules()),
            S("word|宣伝|global|abone+chain / word|宣伝|global|hidden+chain"));
}

TEST(NgRuleFileTest, RefusesRulesItCouldNotReadBack) {
  NgRuleFile file;
  for (const NgRule& rule : {NgRule{NgKind::kWord, "", "", false, false},
                             NgRule{NgKind::kWord, "a\tb", "", false, false},
                             NgRule{NgKind::kWord, "a\nb", "", false, false},
                             NgRule{NgKind::kWord, "a\rb", "", false, false},
                             NgRule{NgKind::kWord, std::string("a\0b", 3), "", false, false},
                             NgRule{NgKind::kWord, "a", "news", false, false},
                             NgRule{NgKind::kWord, "a", "h/..", false, false}}) {
    const ResultWith<int, NgRuleFileCode> added = file.Add(rule);
    EXPECT_EQ(added.Code(), NgRuleFileCode::kRefused) << rule.pattern << " " << rule.board;
    EXPECT_FALSE(added.Reason().empty());
  }
  EXPECT_EQ(file.Add(NgRule{NgKind::kRegex, "[a", "", false, false}).Reason(),
            RegexEngine::BadWordText())
      << "the search engine's own text";
  EXPECT_TRUE(file.Rules().empty());
  EXPECT_EQ(file.Text(), "") << "nothing to write";
}

TEST(NgRuleFileTest, LoadAndSaveOnDisk) {
  test::TempDataDir dir;
  NgRuleFile file;
  EXPECT_TRUE(file.Load(NgRuleFile::DefaultPath()).IsOk()) << "a missing file is an empty list";
  EXPECT_TRUE(file.Rules().empty());
  EXPECT_EQ(NgRuleFile::DefaultPath(), dir.Path() + "/ini/ng.txt");

  ASSERT_TRUE(file.Add(NgRule{NgKind::kId, "Abc", "", false, false}).IsOk());
  ASSERT_TRUE(file.Save(NgRuleFile::DefaultPath()).IsOk());
  NgRuleFile reread;
  ASSERT_TRUE(reread.Load(NgRuleFile::DefaultPath()).IsOk());
  EXPECT_EQ(reread.Rules(), file.Rules());

  const Result<NgRuleFileCode> folder = reread.Load(dir.Path() + "/ini");
  EXPECT_EQ(folder.Code(), NgRuleFileCode::kUnreadable) << "a folder is no rule file";
  EXPECT_EQ(folder.Reason(), S("エラー:") + dir.Path() + S("/ini を読み込めませんでした."));
  EXPECT_TRUE(reread.Rules().empty());

  // A file that cannot be replaced stays as it was: every write beyond a few bytes fails, for root
  // as for anyone.
  const std::string before = dir.ReadFile("ini/ng.txt");
  ASSERT_TRUE(file.Add(NgRule{NgKind::kId, "Def", "", false, false}).IsOk());
  Result<NgRuleFileCode> saved;
  {
    FileSizeLimit limit(8);
    saved = file.Save(NgRuleFile::DefaultPath());
  }
  EXPECT_EQ(saved.Code(), NgRuleFileCode::kUnwritable);
  EXPECT_EQ(saved.Reason(),
            S("エラー:") + NgRuleFile::DefaultPath() + S(" を書き込めませんでした."));
  EXPECT_EQ(dir.ReadFile("ini/ng.txt"), before);
}

// The edit the window and the CLI share reads the file afresh, reports its damaged lines, writes
// only what changed and leaves the file alone when it fails.
TEST(NgRuleFileTest, EditsReadAfreshAndWriteOnlyChanges) {
  test::TempDataDir dir;
  const std::string path = NgRuleFile::DefaultPath();
  dir.WriteFile("ini/ng.txt", "bad line\r\nword\tx\r\n");
  std::vector<int> damaged;
  const auto sink = [&damaged](const NgRuleFile::Problem& p) { damaged.push_back(p.line); };

  const auto same = AddNgRuleToFile(path, NgRule{NgKind::kWord, "x", "", false, false}, sink);
  ASSERT_TRUE(same.IsOk());
  EXPECT_EQ(same.Value().number, 1);
  EXPECT_FALSE(same.Value().changed);
  EXPECT_EQ(damaged, std::vector<int>{1});

  const auto added = AddNgRuleToFile(path, NgRule{NgKind::kId, "y", "", true, false});
  ASSERT_TRUE(added.IsOk());
  EXPECT_EQ(added.Value().number, 2);
  EXPECT_TRUE(added.Value().changed);
  EXPECT_EQ(dir.ReadFile("ini/ng.txt"), "bad line\r\nword\tx\r\nid\ty\tglobal\thidden\r\n");

  const std::string before = dir.ReadFile("ini/ng.txt");
  EXPECT_EQ(AddNgRuleToFile(path, NgRule{NgKind::kRegex, "(", "", false, false}).Code(),
            NgRuleFileCode::kRefused);
  EXPECT_EQ(RemoveNgRuleFromFile(path, NgRule{NgKind::kId, "z", "", false, false}).Code(),
            NgRuleFileCode::kNoSuchRule);
  EXPECT_EQ(RemoveNgRuleFromFile(path, 3).Code(), NgRuleFileCode::kNoSuchRule);
  EXPECT_EQ(dir.ReadFile("ini/ng.txt"), before);

  ASSERT_TRUE(RemoveNgRuleFromFile(path, NgRule{NgKind::kWord, "x", "", false, false}).IsOk());
  const auto removed = RemoveNgRuleFromFile(path, 1);
  ASSERT_TRUE(removed.IsOk());
  EXPECT_EQ(dir.ReadFile("ini/ng.txt"), "bad line\r\n");

  std::filesystem::remove(path);
  std::filesystem::create_directory(path);  // a rule file that cannot be read is not replaced
  EXPECT_EQ(AddNgRuleToFile(path, NgRule{NgKind::kWord, "x", "", false, false}).Code(),
            NgRuleFileCode::kUnreadable);
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
