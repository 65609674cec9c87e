#include "post/PostAnswer.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

constexpr std::string_view kPostUrl = "https://eagle.5ch.io/test/bbs.cgi?guid=ON";

struct AnswerCase {
  const char* name;
  const char* page;  // UTF-8, converted to CP932
  PostAnswerKind kind;
  const char* text;  // UTF-8
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
  *os << c.name;
}

class PostAnswerTest : public testing::TestWithParam<AnswerCase> {};

TEST_P(PostAnswerTest, ClassifiesTheAnswerPage) {
  const PostAnswer answer = ClassifyPostAnswer(S(GetParam().page), kPostUrl);
  EXPECT_EQ(answer.kind, GetParam().kind);
  EXPECT_EQ(answer.text, S(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PostAnswerTest,
    testing::Values(
        AnswerCase{"PostedByComment",
                   "<html><!-- 2ch_X:true --><head><title>x</title></head><body>ok</body>",
                   PostAnswerKind::kPosted, ""},
        AnswerCase{"PostedByTitle",
                   "<html><head><title>書きこみました。</title></head><body>終わりました</body>",
                   PostAnswerKind::kPosted, ""},
        AnswerCase{"CommentBeforeTitle",
                   "<html><head><title>書きこみました。</title><!-- 2ch_X:error --></head>"
                   "<body><b>ERROR: 本文がありません！</b><br>戻ってください</body>",
                   PostAnswerKind::kError, "ERROR: 本文がありません！"},
        AnswerCase{"WarningShowsTheBody",
                   "<html><head><title>お茶</title><!-- 2ch_X:FALSE --></head><body>"
                   "<script>alert(1)</script><style>b{}</style>注意&amp;\n  確認&lt;して"
                   "<br><br><p>ね</body></html>",
                   PostAnswerKind::kWarning, "注意& 確認<して\nね"},
        AnswerCase{"ErrorByWideTitle",
                   "<html><head><title>ＥＲＲＯＲ！</title></head><body>前置き<br>"
                   "ＥＲＲＯＲ：連続投稿ですか？？<br>後</body>",
                   PostAnswerKind::kError, "ＥＲＲＯＲ：連続投稿ですか？？"},
        AnswerCase{"ErrorWithoutTheWordGivesTheBody",
                   "<!-- 2ch_X:error --><body>書けません<br>理由</body>", PostAnswerKind::kError,
                   "書けません\n理由"},
        AnswerCase{"ErrorPageWithoutBodyTag",
                   "<html><head><title>ＥＲＲＯＲ</title></head>理由です</html>",
                   PostAnswerKind::kError, "理由です"},
        AnswerCase{"ErrorWithoutBody", "<!-- 2ch_X:error -->", PostAnswerKind::kError,
                   "エラー:書き込めませんでした (理由は示されていません)"},
        AnswerCase{"ConfirmationWithoutForm",
                   "<html><head><title>■ 書き込み確認 ■</title></head><body>承諾してね</body>",
                   PostAnswerKind::kUnknown,
                   "エラー:確認ページに送り返すフォームがないか、その送信先が板のサーバではありま"
                   "せん\n承諾してね"},
        AnswerCase{"ConfirmationSendingElsewhere",
                   "<!-- 2ch_X:cookie --><body>承諾<form action=\"https://evil.example/x\">"
                   "<input type=submit></form></body>",
                   PostAnswerKind::kUnknown,
                   "エラー:確認ページに送り返すフォームがないか、その送信先が板のサーバではありま"
                   "せん\n承諾"},
        AnswerCase{"ConfirmationOverPlainHttp",
                   "<!-- 2ch_X:check --><body>承諾<form action=\"http://eagle.5ch.io/test/"
                   "bbs.cgi\"></form></body>",
                   PostAnswerKind::kUnknown,
                   "エラー:確認ページに送り返すフォームがないか、その送信先が板のサーバではありま"
                   "せん\n承諾"},
        AnswerCase{"UnknownPage", "<html><body>Service Unavailable<!-- 2ch_X:maybe --></body>",
                   PostAnswerKind::kUnknown, "Service Unavailable"},
        AnswerCase{"UnknownEmptyPage", "", PostAnswerKind::kUnknown,
                   "エラー:書き込めたかどうかを示さない応答です"},
        AnswerCase{"ControlBytesDropped", "<body>a\x1B[2Jb&#27;c</body>", PostAnswerKind::kUnknown,
                   "a[2Jbc"}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

// A lead byte whose trail byte is missing or a control byte is a broken character: it goes, and
// the control byte with it.
TEST(PostAnswerTest, NoControlByteHidesBehindALeadByte) {
  EXPECT_EQ(PageText("a\x96\x1B[2Jb\x96"), "a[2Jb");
}

TEST(PostAnswerTest, ConfirmationFormIsTakenAsABrowserWouldSendIt) {
  const std::string page =
      S("<html><head><title>■ 書き込み確認 ■</title><!-- 2ch_X:cookie --></head><body>"
        "<font>書き込み確認します。</font><br>投稿者は、利用規約に同意します。<br>"
        "<form method=POST action=\"../test/bbs.cgi?guid=ON\" >"
        "<input type=hidden name=\"subject\" value=\"\">"
        "<input type=hidden name=FROM value='&lt;名&gt; &quot;x&quot;'>"
        "<input type=hidden name=\"MESSAGE\" value=\"a&amp;b&#128512;&#x41;&#12354;\">"
        "<input type=hidden name=bbs value=news><input type=hidden name=time value=1800000000>"
        "<input TYPE=submit value=\"上記全てを承諾して書き込む\" name=\"submit\">"
        "<input type=submit name=other value=x><input type=checkbox name=c1>"
        "<input type=checkbox name=c2 checked><input type=reset name=r value=r>"
        "<textarea name=t>\n行1\n&lt;行2&gt;</textarea><input name=plain value=p>"
        "</form><input type=hidden name=after value=no></body></html>");
  const PostAnswer answer = ClassifyPostAnswer(page, kPostUrl);
  ASSERT_EQ(answer.kind, PostAnswerKind::kConfirm);
  EXPECT_EQ(answer.text, S("書き込み確認します。\n投稿者は、利用規約に同意します。\n行1 <行2>"));
  EXPECT_EQ(answer.form.action, "https://eagle.5ch.io/test/bbs.cgi?guid=ON");
  EXPECT_EQ(answer.form.method, "POST");
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"subject", ""}, {"FROM", S("<名> \"x\"")}, {"MESSAGE", "a&b&#128512;A" + S("あ")},
      {"bbs", "news"}, {"time", "1800000000"},    {"submit", S("上記全てを承諾して書き込む")},
      {"c2", "on"},    {"t", S("行1\n<行2>")},    {"plain", "p"}};
  EXPECT_EQ(answer.form.fields, fields);
}

TEST(PostAnswerTest, ActionsResolveAgainstThePostUrl) {
  const std::string base = "https://eagle.5ch.io/test/bbs.cgi?guid=ON";
  EXPECT_EQ(ResolveUrl(base, ""), base);
  EXPECT_EQ(ResolveUrl(base, "bbs.cgi"), "https://eagle.5ch.io/test/bbs.cgi");
  EXPECT_EQ(ResolveUrl(base, "./a/../b.cgi#x"), "https://eagle.5ch.io/test/b.cgi");
  EXPECT_EQ(ResolveUrl(base, "../../../test/bbs.cgi?x=1"), "https://eagle.5ch.io/test/bbs.cgi?x=1");
  EXPECT_EQ(ResolveUrl(base, "/x/"), "https://eagle.5ch.io/x/");
  EXPECT_EQ(ResolveUrl(base, "?y=2"), "https://eagle.5ch.io/test/bbs.cgi?y=2");
  EXPECT_EQ(ResolveUrl(base, "//other.example/p"), "https://other.example/p");
  EXPECT_EQ(ResolveUrl(base, "http://other.example/p"), "http://other.example/p");
  EXPECT_EQ(ResolveUrl("http://h", "x"), "http://h/x");
}

}  // namespace
}  // namespace velkor
