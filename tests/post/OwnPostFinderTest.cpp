#include "post/OwnPostFinder.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

// A log whose replies 1 ... 3 were there before the post; 4 ... are new.
const std::string& Log() {
  static const std::string log =
      S("名無しさん<><>2026/12/07(月) 12:00:00.00 ID:a<> before <>スレ\n"
        "名無しさん<>sage<>2026/12/07(月) 12:00:01.00 ID:b<> same text <>\n"
        "名無しさん<>sage<>2026/12/07(月) 12:00:02.00 ID:c<> other <>\n"
        "名無しさん<>sage<>2026/12/07(月) 12:01:00.00 ID:d<> same text <>\n"
        "名無しさん<>sage<>2026/12/07(月) 12:01:01.00 ID:e<> a &lt;b&gt; &quot;c&quot; <br> "
        "<br> <a href=\"../test/read.cgi/news/1/3\" target=\"_blank\">&gt;&gt;3</a> line <>\n"
        "</b>◇Trip12345<b><><>2026/12/07(月) 12:01:02.00 ID:f<> trip <>\n"
        "ななし◇☆ (ﾜｯﾁｮｲ 1234-abcd)<>age<>2026/12/07(月) 12:01:03.00 ID:g<> named <>\n"
        "名無しさん<>sage<>2026/12/07(月) 12:01:04.00 ID:h<> later <>\n");
  return log;
}

struct FindCase {
  const char* name;
  const char* postName;
  const char* mail;
  const char* message;
  int after;
  int resnum;  // 0: none
  int found;   // 0: none
};

void PrintTo(const FindCase& c, std::ostream* os) {
  *os << c.name;
}

class OwnPostFinderTest : public testing::TestWithParam<FindCase> {};

TEST_P(OwnPostFinderTest, FindsTheNewestMatchingReply) {
  const FindCase& c = GetParam();
  const SentPost sent{S(c.postName), c.mail, S(c.message)};
  const auto found = FindOwnReply(Log(), sent, S("名無しさん"), c.after,
                                  c.resnum ? std::optional<int>(c.resnum) : std::nullopt);
  EXPECT_EQ(found.value_or(0), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Posts, OwnPostFinderTest,
    testing::Values(
        FindCase{"EmptyNameIsTheBoardsName", "", "sage", "same text", 3, 0, 4},
        FindCase{"OnlyRepliesAfterThePost", "", "sage", "same text", 4, 0, 0},
        FindCase{"NewestWhenSeveralMatch", "", "sage", "same text", 0, 0, 4},
        FindCase{"EscapesLineBreaksAndServerLinks", "", "sage", "a <b> \"c\"  \r\n\n>>3 line\n\n",
                 3, 0, 5},
        FindCase{"MailMustMatch", "", "", "same text", 3, 0, 0},
        FindCase{"MessageMustMatch", "", "sage", "same", 3, 0, 0},
        FindCase{"TripKeyAloneMatchesAnyName", "#secret", "", "trip", 3, 0, 6},
        FindCase{"NameWithDecorationAndFoldedMarks", "ななし◆★", "age", "named", 3, 0, 7},
        FindCase{"OtherNameDoesNotMatch", "誰か", "sage", "same text", 3, 0, 0},
        FindCase{"ServerNumberThatMatches", "", "sage", "same text", 3, 4, 4},
        FindCase{"ServerNumberThatDoesNotMatchIsPassedOver", "", "sage", "same text", 3, 8, 4},
        FindCase{"ServerNumberBeyondTheLogIsTaken", "", "sage", "new", 3, 12, 12},
        FindCase{"ServerNumberBeforeThePostIsPassedOver", "", "sage", "same text", 3, 2, 4},
        FindCase{"EmptyMessageFindsNothing", "", "sage", " \n", 0, 0, 0}),
    [](const testing::TestParamInfo<FindCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velkor
