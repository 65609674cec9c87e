#include "demo/DemoPost.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Sjis.h"
#include "demo/DemoServer.h"

namespace velkor::demo {
namespace {

constexpr long long kStart = 1796688000;  // Tue, 08 Dec 2026 00:00:00 GMT
constexpr long long kNow = kStart + 100;

using Form = std::vector<std::pair<std::string, std::string>>;

void Set(Form& form, const std::string& name, const std::string& value) {
  for (auto& [key, old] : form) {
    if (key == name) {
      old = value;
      return;
    }
  }
  form.emplace_back(name, value);
}

void Remove(Form& form, const std::string& name) {
  std::erase_if(form, [&](const auto& field) { return field.first == name; });
}

// Percent-encoded as a browser sends a Shift_JIS form: blanks as "+".
std::string Encode(const Form& form) {
  std::string body;
  for (const auto& [name, value] : form) {
    body += (body.empty() ? "" : "&") + name + "=";
    for (unsigned char c : value) {
      if (std::isalnum(c) || c == '*' || c == '-' || c == '.' || c == '_') {
        body += static_cast<char>(c);
      } else if (c == ' ') {
        body += '+';
      } else {
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        body += escaped;
      }
    }
  }
  return body;
}

struct Answered {
  std::string head;
  std::string body;
  // The value of header `name` (exact case), or "".
  std::string Header(const std::string& name) const {
    std::size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    at += name.size() + 4;
    return head.substr(at, head.find("\r\n", at) - at);
  }
  // The cookies the answer sets, as a Cookie header value.
  std::string Cookies() const {
    std::string cookies;
    for (std::size_t at = 0; (at = head.find("\r\nSet-Cookie: ", at)) != std::string::npos;) {
      at += 14;
      cookies += (cookies.empty() ? "" : "; ") + head.substr(at, head.find(';', at) - at);
    }
    return cookies;
  }
};

// The value of the answer's 2ch_X comment.
std::string Kind(const Answered& answer) {
  std::size_t at = answer.body.find("<!-- 2ch_X:");
  if (at == std::string::npos) return {};
  at += 11;
  return answer.body.substr(at, answer.body.find(' ', at) - at);
}

// Entities of an attribute value back to bytes.
std::string Unescape(std::string text) {
  const std::pair<std::string, std::string> entities[] = {{"&lt;", "<"},    {"&gt;", ">"},
                                                          {"&quot;", "\""}, {"&#13;", "\r"},
                                                          {"&#10;", "\n"},  {"&amp;", "&"}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, byte] : entities) {
      if (text.compare(i, entity.size(), entity) == 0) {
        out += byte;
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// The hidden fields of a confirmation page's form, in order.
Form HiddenFields(const std::string& page) {
  Form form;
  const std::string mark = "<input type=\"hidden\" name=\"";
  for (std::size_t at = 0; (at = page.find(mark, at)) != std::string::npos;) {
    at += mark.size();
    std::string name = page.substr(at, page.find('"', at) - at);
    at = page.find("value=\"", at) + 7;
    form.emplace_back(name, Unescape(page.substr(at, page.find('"', at) - at)));
  }
  return form;
}

class DemoPostTest : public ::testing::Test {
 protected:
  DemoPostTest() : network_("http", kStart), server_(network_) {
    openKey_ = network_.ThreadKeys("cook")[7];
    std::string list = Get("/cook/subject.txt").body;
    for (std::string_view line : SplitLines(list)) {
      if (line.ends_with(" (1000)")) fullKey_ = std::stoll(std::string(line.substr(0, 10)));
    }
  }

  Answered Split(const std::string& answer) {
    std::size_t end = answer.find("\r\n\r\n");
    return {answer.substr(0, end + 2), answer.substr(end + 4)};
  }
  Answered Get(const std::string& path, const std::string& extra = "") {
    return Split(server_.Answer(
        "GET " + path + " HTTP/1.1\r\nHost: hayabusa.5ch.io\r\n" + extra + "\r\n", kNow));
  }
  Form Reply(const std::string& message, long long key = 0) const {
    return {{"bbs", "cook"},
            {"key", std::to_string(key ? key : openKey_)},
            {"time", std::to_string(kNow - 30)},
            {"FROM", ""},
            {"mail", "sage"},
            {"MESSAGE", message},
            {"submit", Sjis("書き込む")}};
  }
  // A POST of bbs.cgi as the readers send it; `headers` replaces or adds header lines.
  Answered Post(const Form& form, const std::string& cookies, long long now = kNow,
                const std::string& headers = "", const std::string& host = "hayabusa.5ch.io") {
    std::string body = Encode(form);
    std::string head = "POST /test/bbs.cgi HTTP/1.1\r\nHost: " + host + "\r\n";
    auto add = [&](const std::string& name, const std::string& value) {
      if (headers.find(name + ":") == std::string::npos) head += name + ": " + value + "\r\n";
    };
    add("User-Agent", "Monazilla/1.00 (Velkor/0.7.8)");
    add("Content-Type", "application/x-www-form-urlencoded");
    add("Referer", "http://" + host + "/test/read.cgi/cook/" + std::to_string(openKey_) + "/");
    add("Origin", "http://" + host);
    if (!cookies.empty()) head += "Cookie: " + cookies + "\r\n";
    head += headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    return Split(server_.Answer(head + body, now));
  }
  // The cookies of a confirmation page, sent back with its form: the poster is known from then on.
  std::string Cookies() {
    Answered first = Post(Reply(Sjis("はじめまして")), "");
    EXPECT_EQ(Kind(first), "cookie");
    std::string cookies = first.Cookies();
    EXPECT_EQ(Kind(Post(HiddenFields(first.body), cookies)), "true");
    return cookies;
  }
  int Count(long long key) {
    std::string list = Get("/cook/subject.txt").body;
    std::size_t at = list.find(std::to_string(key) + ".dat<>");
    std::size_t end = list.find('\n', at);
    std::size_t open = list.rfind('(', end);
    return std::stoi(list.substr(open + 1, end - open - 2));
  }

  DemoNetwork network_;
  DemoServer server_;
  long long openKey_ = 0;
  long long fullKey_ = 0;
};

// A first post gets the confirmation page: its cookies, and a form that, sent back unaltered with
// them, posts. The reply is in the log at once, for a range fetch from the last stored byte, and in
// the list's count; the answer names its number.
TEST_F(DemoPostTest, ConfirmationThenReplyIsInTheLog) {
  const std::string before = Get("/cook/dat/" + std::to_string(openKey_) + ".dat").body;
  const int count = Count(openKey_);
  Form form = Reply(Sjis("<b>\"太字\"</b>\r\n二行目 &#128512;"));
  // A name that ends in half a character: the lead byte would swallow the separator's "<".
  Set(form, "FROM", Sjis("テスト<>名前") + "\x82");
  Set(form, "mail", "");
  Answered confirm = Post(form, "");
  EXPECT_EQ(Kind(confirm), "cookie");
  EXPECT_NE(confirm.body.find(Sjis("<title>■ 書き込み確認 ■</title>")), std::string::npos);
  EXPECT_NE(confirm.body.find("action=\"../test/bbs.cgi?guid=ON\""), std::string::npos);
  EXPECT_EQ(confirm.head.find("x-Resnum"), std::string::npos);
  const std::string cookies = confirm.Cookies();
  EXPECT_EQ(cookies.find("MonaTicket="), 0u) << confirm.head;
  EXPECT_NE(cookies.find("; acorn="), std::string::npos);
  EXPECT_NE(confirm.head.find("; path=/; domain=.5ch.io\r\n"), std::string::npos);
  EXPECT_EQ(Get("/cook/dat/" + std::to_string(openKey_) + ".dat").body, before);

  Form hidden = HiddenFields(confirm.body);
  Set(form, "FROM", Sjis("テスト<>名前"));
  for (const auto& [name, value] : form) {
    if (name == "submit") continue;
    EXPECT_NE(std::find(hidden.begin(), hidden.end(), std::pair(name, value)), hidden.end())
        << name;
  }
  Answered posted = Post(hidden, cookies);
  EXPECT_EQ(Kind(posted), "true");
  EXPECT_NE(posted.body.find(Sjis("<title>書きこみました。</title>")), std::string::npos);
  EXPECT_EQ(posted.Header("x-Resnum"), std::to_string(count + 1));
  EXPECT_EQ(Count(openKey_), count + 1);
  // Not "sage": the thread goes to the top.
  EXPECT_EQ(network_.ThreadKeys("cook").front(), openKey_);

  Answered tail = Get("/cook/dat/" + std::to_string(openKey_) + ".dat",
                      "Range: bytes=" + std::to_string(before.size() - 1) + "-\r\n");
  EXPECT_EQ(tail.head.substr(0, 12), "HTTP/1.1 206");
  ASSERT_EQ(tail.body.substr(0, 1), "\n");
  const std::string line = tail.body.substr(1);
  const std::string date = DemoDate(kNow, 0).substr(0, 22);
  EXPECT_EQ(line.substr(0, line.find(date)), Sjis("テスト&lt;&gt;名前<><>")) << line;
  const std::size_t id = line.find(" ID:");
  ASSERT_NE(id, std::string::npos);
  EXPECT_EQ(line.substr(id + 12, 3), "0<>");
  EXPECT_EQ(line.substr(id + 13),
            Sjis("<> &lt;b&gt;&quot;太字&quot;&lt;/b&gt; <br> 二行目 &#128512; <>\n"));
}

// The poster's ID is the same for every post of one cookie on one day, and another on the next.
TEST_F(DemoPostTest, IdIsStablePerCookieAndDay) {
  server_.SetPostInterval(0);
  const std::string cookies = Cookies();
  auto idOf = [&](long long now) {
    Form form = Reply("x");
    Set(form, "time", std::to_string(now - 30));
    EXPECT_EQ(Kind(Post(form, cookies, now)), "true");
    std::string dat = Get("/cook/dat/" + std::to_string(openKey_) + ".dat").body;
    std::string last = dat.substr(dat.rfind('\n', dat.size() - 2) + 1);
    return last.substr(last.find(" ID:") + 4, 9);
  };
  const std::string id = idOf(kNow);
  EXPECT_EQ(idOf(kNow + 20), id);
  EXPECT_NE(Cookies(), cookies);
  EXPECT_NE(idOf(kNow + 24 * 3600), id);
}

// Posts of one cookie closer together than the interval are refused; 0 allows any.
TEST_F(DemoPostTest, PostsCloserThanTheIntervalAreRefused) {
  server_.SetPostInterval(10);
  const std::string cookies = Cookies();
  Answered early = Post(Reply("x"), cookies, kNow + 9);
  EXPECT_EQ(Kind(early), "error");
  EXPECT_NE(early.body.find(Sjis("連続投稿ですか？？ 1秒待ってください。")), std::string::npos);
  EXPECT_EQ(Kind(Post(Reply("x"), cookies, kNow + 10)), "true");
  server_.SetPostInterval(0);
  EXPECT_EQ(Kind(Post(Reply("x"), cookies, kNow + 10)), "true");
}

// A POST without `key` and with `subject` starts a thread at the top of the list.
TEST_F(DemoPostTest, SubjectStartsAThreadAtTheTop) {
  const std::string cookies = Cookies();
  Form form = Reply(Sjis("新スレです"));
  Remove(form, "key");
  Set(form, "subject", Sjis("新しい<スレ> Part2"));
  Answered posted = Post(form, cookies, kNow + 60);
  EXPECT_EQ(Kind(posted), "true");
  EXPECT_EQ(posted.Header("x-Resnum"), "1");
  std::vector<long long> keys = network_.ThreadKeys("cook");
  EXPECT_EQ(keys.size(), std::size_t{DemoNetwork::kThreadsPerBoard});
  std::string list = Get("/cook/subject.txt").body;
  EXPECT_EQ(list.substr(0, list.find('\n')),
            std::to_string(keys.front()) + Sjis(".dat<>新しい&lt;スレ&gt; Part2 (1)"));
  std::string dat = Get("/cook/dat/" + std::to_string(keys.front()) + ".dat").body;
  EXPECT_EQ(dat.substr(0, dat.find('<')), Sjis("名無しさん"));
  EXPECT_TRUE(dat.ends_with(Sjis("<> 新スレです <>新しい&lt;スレ&gt; Part2\n"))) << dat;
}

struct PostCase {
  const char* name;
  void (*edit)(Form& form, long long fullKey, long long archivedKey);
  const char* headers;  // header lines replacing the readers' own
  const char* kind;     // the 2ch_X value
  const char* text;     // UTF-8; the page holds it in Shift_JIS
};

void PrintTo(const PostCase& c, std::ostream* os) {
  *os << c.name;
}

class DemoPostAnswerTest : public DemoPostTest, public ::testing::WithParamInterface<PostCase> {};

// Each answer of a known poster's post, against the board's SETTING.TXT limits for "cook"
// (BBS_MESSAGE_COUNT=1024, BBS_LINE_NUMBER=16, BBS_NAME_COUNT=48, BBS_MAIL_COUNT=32,
// BBS_SUBJECT_COUNT=64).
TEST_P(DemoPostAnswerTest, AnswersAsTheBoardServers) {
  const PostCase& c = GetParam();
  server_.SetPostInterval(0);
  const std::string cookies = Cookies();
  const long long archivedKey = network_.ThreadKeys("cook").back();
  network_.StartThread("cook", "t", "n<><>d<> m <>t\n", kNow);
  Form form = Reply(Sjis("本文"));
  c.edit(form, fullKey_, archivedKey);
  const std::string before = Get("/cook/subject.txt").body;
  Answered answer = Post(form, cookies, kNow, c.headers);
  EXPECT_EQ(answer.head.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_NE(answer.head.find("Content-Type: text/html; charset=Shift_JIS\r\n"), std::string::npos);
  EXPECT_EQ(Kind(answer), c.kind);
  EXPECT_NE(answer.body.find(Sjis(c.text)), std::string::npos) << SjisToUtf8Lossy(answer.body);
  if (std::string(c.kind) == "error") {
    EXPECT_NE(answer.body.find(Sjis("<title>ＥＲＲＯＲ！</title>")), std::string::npos);
    EXPECT_EQ(Get("/cook/subject.txt").body, before);
  }
}

const std::string kMaxMessage(1024, 'a');
std::string Lines(int n) {
  std::string text = "a";
  for (int i = 1; i < n; ++i) text += "\r\na";
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DemoPostAnswerTest,
    ::testing::Values(
        PostCase{"reply", [](Form&, long long, long long) {}, "", "true", "書きこみました。"},
        PostCase{"message at the limit",
                 [](Form& f, long long, long long) { Set(f, "MESSAGE", kMaxMessage); }, "", "true",
                 ""},
        PostCase{"lines at the limit",
                 [](Form& f, long long, long long) { Set(f, "MESSAGE", Lines(32)); }, "", "true",
                 ""},
        PostCase{"empty message",
                 [](Form& f, long long, long long) { Set(f, "MESSAGE", " \r\n "); }, "", "error",
                 "ERROR: 本文がありません！"},
        PostCase{"message too long",
                 [](Form& f, long long, long long) { Set(f, "MESSAGE", kMaxMessage + "a"); }, "",
                 "error", "ERROR: 本文が長すぎます！"},
        PostCase{"too many lines",
                 [](Form& f, long long, long long) { Set(f, "MESSAGE", Lines(33)); }, "", "error",
                 "ERROR: 改行が多すぎます！"},
        PostCase{"name too long",
                 [](Form& f, long long, long long) { Set(f, "FROM", std::string(49, 'n')); }, "",
                 "error", "ERROR: 名前が長すぎます！"},
        PostCase{"mail too long",
                 [](Form& f, long long, long long) { Set(f, "mail", std::string(33, 'm')); }, "",
                 "error", "ERROR: メール欄が長すぎます！"},
        PostCase{"subject too long",
                 [](Form& f, long long, long long) {
                   Remove(f, "key");
                   Set(f, "subject", std::string(65, 's'));
                 },
                 "", "error", "ERROR: サブジェクトが長すぎます！"},
        PostCase{"no key and no subject", [](Form& f, long long, long long) { Remove(f, "key"); },
                 "", "error", "ERROR: サブジェクトが存在しません！"},
        PostCase{"thread at 1000",
                 [](Form& f, long long full, long long) { Set(f, "key", std::to_string(full)); },
                 "", "error", "ERROR: このスレッドは1000を超えました。"},
        PostCase{
            "archived thread",
            [](Form& f, long long, long long archived) { Set(f, "key", std::to_string(archived)); },
            "", "error", "ERROR: このスレッドは過去ログ倉庫に格納されています。"},
        PostCase{"unknown thread",
                 [](Form& f, long long, long long) { Set(f, "key", "1234567890"); }, "", "error",
                 "ERROR: 該当するスレッドは存在しません。"},
        PostCase{"stale time",
                 [](Form& f, long long, long long) {
                   Set(f, "time", std::to_string(kNow - DemoPost::kMaxFormAge - 1));
                 },
                 "", "error", "ERROR: 時刻情報が正しくありません。"},
        PostCase{"future time",
                 [](Form& f, long long, long long) { Set(f, "time", std::to_string(kNow + 1)); },
                 "", "error", "ERROR: 時刻情報が正しくありません。"},
        PostCase{
            "altered confirmation",
            [](Form& f, long long, long long) { Set(f, "feature", "confirmed:0000000000000000"); },
            "", "error", "ERROR: フォーム情報が正しくありません。"},
        PostCase{"other board", [](Form& f, long long, long long) { Set(f, "bbs", "newsplus"); },
                 "", "error", "ERROR: 板情報が正しくありません。"},
        PostCase{"referer of the other scheme", [](Form&, long long, long long) {},
                 "Referer: https://hayabusa.5ch.io/test/read.cgi/cook/1/\r\n", "error",
                 "ERROR: 投稿データが壊れています。"},
        PostCase{"no referer", [](Form&, long long, long long) {}, "Referer:\r\n", "error",
                 "ERROR: 投稿データが壊れています。"},
        PostCase{"not a reader", [](Form&, long long, long long) {}, "User-Agent: Mozilla/5.0\r\n",
                 "error", "ERROR: 専用ブラウザ以外からは書き込めません。"},
        PostCase{"not a form", [](Form&, long long, long long) {}, "Content-Type: text/plain\r\n",
                 "error", "ERROR: フォーム情報が正しくありません。"}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == ' ') c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace velkor::demo
