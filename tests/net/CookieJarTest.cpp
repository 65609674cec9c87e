#include "net/CookieJar.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/FileUtil.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

constexpr std::int64_t kNow = 1'800'000'000;  // 2027-01-15 08:00:00 UTC

// A small list in the system list's format: rules, a wildcard and its exception.
const PublicSuffixes& TestSuffixes() {
  static const PublicSuffixes suffixes(
      "// comment\ncom\nio\njp\nco.jp\ngithub.io\n*.kobe.jp\n!city.kobe.jp\n"
      "食狮.公司.cn\n");
  return suffixes;
}

// --- dates -------------------------------------------------------------------------------------

struct DateCase {
  const char* text;
  std::int64_t seconds;  // -1: no date
};

void PrintTo(const DateCase& c, std::ostream* os) {
  *os << c.text;
}

class CookieDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(CookieDateTest, ReadsAsRfc6265Does) {
  EXPECT_EQ(ParseCookieDate(GetParam().text).value_or(-1), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CookieDateTest,
    testing::Values(DateCase{"Wed, 21 Oct 2015 07:28:00 GMT", 1445412480},
                    DateCase{"Wednesday, 21-Oct-15 07:28:00 GMT", 1445412480},
                    DateCase{"Wed Oct 21 07:28:00 2015", 1445412480},
                    DateCase{"21 oct 2015 7:28:0", 1445412480},
                    DateCase{"Thu, 01 Jan 1970 00:00:00 GMT", 0},
                    DateCase{"Sat, 29 Feb 2020 23:59:59 GMT", 1583020799},
                    DateCase{"Fri, 01 Jan 69 00:00:00 GMT", 3124224000},  // 2069
                    DateCase{"Fri, 01 Jan 70 00:00:00 GMT", 0},           // 1970
                    DateCase{"Sun, 29 Feb 2015 00:00:00 GMT", -1},        // no such day
                    DateCase{"Wed, 32 Oct 2015 07:28:00 GMT", -1},
                    DateCase{"Wed, 21 Oct 2015 24:00:00 GMT", -1},
                    DateCase{"Wed, 21 Oct 1600 07:28:00 GMT", -1},
                    DateCase{"Wed, 21 Oct 2015 GMT", -1},  // no time
                    DateCase{"Wed, 21 Foo 2015 07:28:00 GMT", -1},
                    DateCase{"Wed, 021 Oct 2015 07:28:00 GMT", -1},  // day of 3 digits
                    DateCase{"", -1}));

// --- storing and sending -----------------------------------------------------------------------

struct Step {
  char
      op;  // 'S' store (expect `refusal`), 'G' header for url (expect `text`), 'T' advance `text` s
  const char* url;
  const char* text;
  CookieRefusal refusal = CookieRefusal::kOk;
};

struct JarCase {
  const char* name;
  std::vector<Step> steps;
};

void PrintTo(const JarCase& c, std::ostream* os) {
  *os << c.name;
}

class CookieJarTest : public testing::TestWithParam<JarCase> {};

TEST_P(CookieJarTest, StoresAndSendsAsRfc6265Says) {
  CookieJar jar(TestSuffixes());
  std::int64_t now = kNow;
  int i = 0;
  for (const Step& step : GetParam().steps) {
    ++i;
    if (step.op == 'S') {
      EXPECT_EQ(jar.Store(step.url, step.text, now).Code(), step.refusal)
          << "step " << i << ": " << step.text;
    } else if (step.op == 'G') {
      EXPECT_EQ(jar.CookieHeader(step.url, now), step.text) << "step " << i << ": " << step.url;
    } else {
      now += std::stoll(step.text);
    }
  }
}

constexpr const char* kThread = "https://eagle.5ch.io/test/read.cgi/news/123/";
constexpr const char* kPost = "https://eagle.5ch.io/test/bbs.cgi";

INSTANTIATE_TEST_SUITE_P(
    Rules, CookieJarTest,
    testing::Values(
        JarCase{"HostOnlyGoesToTheHostAlone",
                {{'S', kPost, "a=1"},
                 {'G', "https://eagle.5ch.io/test/x", "a=1"},
                 {'G', "https://EAGLE.5ch.io/test/x", "a=1"},
                 {'G', "https://x.eagle.5ch.io/test/x", ""},
                 {'G', "https://5ch.io/test/x", ""}}},
        JarCase{"QueryIsNoPartOfThePath",
                {{'S', "https://eagle.5ch.io/test/bbs.cgi?guid=ON/x/", "q=1"},
                 {'G', "https://eagle.5ch.io/test/read.cgi?a=/", "q=1"},
                 {'G', "https://eagle.5ch.io/other?/test/", ""}}},
        JarCase{"DomainGoesToTheDomainAndBelow",
                {{'S', kPost, "a=1; Domain=.5CH.io; Path=/"},
                 {'G', "https://5ch.io/", "a=1"},
                 {'G', "https://hawk.5ch.io/x", "a=1"},
                 {'G', "https://a.b.5ch.io/x", "a=1"},
                 {'G', "https://evil-5ch.io/", ""},
                 {'G', "https://5ch.io.evil.com/", ""}}},
        JarCase{"ForeignDomainRefused",
                {{'S', kPost, "a=1; Domain=bbspink.com", CookieRefusal::kForeignDomain},
                 {'S', kPost, "a=1; Domain=gle.5ch.io", CookieRefusal::kForeignDomain},
                 {'S', kPost, "a=1; Domain=x.eagle.5ch.io", CookieRefusal::kForeignDomain},
                 {'S', kPost, "a=1; Domain=5ch.io.", CookieRefusal::kForeignDomain},
                 {'S', kPost, "a=1; Domain=5ch..io", CookieRefusal::kForeignDomain},
                 {'G', kThread, ""}}},
        JarCase{
            "PublicSuffixRefused",
            {{'S', kPost, "a=1; Domain=io", CookieRefusal::kPublicSuffix},
             {'S', "http://www.example.co.jp/", "b=2; Domain=co.jp", CookieRefusal::kPublicSuffix},
             {'S', "http://a.b.kobe.jp/", "c=3; Domain=b.kobe.jp", CookieRefusal::kPublicSuffix},
             {'S', "http://x.city.kobe.jp/", "d=4; Domain=city.kobe.jp"},
             {'G', "http://city.kobe.jp/", "d=4"},
             {'G', "http://y.co.jp/", ""}}},
        JarCase{"PublicSuffixOfTheHostItselfIsHostOnly",
                {{'S', "https://github.io/", "a=1; Domain=github.io"},
                 {'G', "https://github.io/", "a=1"},
                 {'G', "https://user.github.io/", ""}}},
        JarCase{
            "AddressesMatchOnlyThemselves",
            {{'S', "http://127.0.0.1:8080/", "a=1; Domain=127.0.0.1"},
             {'S', "http://x.127.0.0.1/", "b=2; Domain=127.0.0.1", CookieRefusal::kForeignDomain},
             {'G', "http://127.0.0.1/", "a=1"},
             {'G', "http://x.127.0.0.1/", ""},
             {'S', "http://[::1]/", "c=3; Domain=::1"},
             {'G', "http://[::1]:81/", "c=3"}}},
        JarCase{"DefaultPathIsTheRequestFolder",
                {{'S', "https://eagle.5ch.io/test/read.cgi/news/123", "a=1"},
                 {'G', "https://eagle.5ch.io/test/read.cgi/news/123/", "a=1"},
                 {'G', "https://eagle.5ch.io/test/read.cgi/news/9", "a=1"},
                 {'G', "https://eagle.5ch.io/test/read.cgi/new", ""},
                 {'G', "https://eagle.5ch.io/test/bbs.cgi", ""},
                 {'S', "https://eagle.5ch.io/x", "b=2; Path=relative"},
                 {'G', "https://eagle.5ch.io/y", "b=2"}}},
        JarCase{"PathMatchesOnSegments",
                {{'S', kPost, "a=1; Path=/test"},
                 {'G', "https://eagle.5ch.io/test", "a=1"},
                 {'G', "https://eagle.5ch.io/test/bbs.cgi?guid=ON", "a=1"},
                 {'G', "https://eagle.5ch.io/testing", ""},
                 {'G', "https://eagle.5ch.io/", ""}}},
        JarCase{"LongerPathsFirstThenOlder",
                {{'S', kPost, "b=2; Path=/"},
                 {'S', kPost, "a=1; Path=/test"},
                 {'S', kPost, "c=3; Path=/"},
                 {'S', kPost, "b=22; Path=/"},
                 {'G', kPost, "a=1; b=22; c=3"}}},
        JarCase{"SecureOnlyOverHttps",
                {{'S', "http://eagle.5ch.io/", "a=1; Secure", CookieRefusal::kNotSecure},
                 {'S', kPost, "a=1; Secure; Path=/"},
                 {'G', "http://eagle.5ch.io/test/bbs.cgi", ""},
                 {'G', kPost, "a=1"},
                 {'S', "http://eagle.5ch.io/", "a=2; Path=/test", CookieRefusal::kNotSecure},
                 {'S', "http://eagle.5ch.io/", "b=2; Path=/"},
                 {'G', kPost, "a=1; b=2"}}},
        JarCase{"ExpiryAndMaxAge",
                {{'S', kPost, "a=1; Max-Age=60; Path=/"},
                 {'S', kPost, "b=2; Expires=Wed, 21 Oct 2015 07:28:00 GMT; Max-Age=120; Path=/"},
                 {'S', kPost, "c=3; Max-Age=60; Expires=Wed, 21 Oct 2015 07:28:00 GMT; Path=/"},
                 {'S', kPost, "d=4; Max-Age=x; Path=/"},
                 {'G', kPost, "a=1; b=2; c=3; d=4"},
                 {'T', "", "60"},
                 {'G', kPost, "b=2; d=4"},
                 {'T', "", "1000000000"},
                 {'G', kPost, "d=4"}}},
        JarCase{"ExpiredCookieDeletes",
                {{'S', kPost, "a=1; Path=/"},
                 {'S', kPost, "b=2; Path=/"},
                 {'S', kPost, "a=; Max-Age=0; Path=/"},
                 {'S', kPost, "b=x; Expires=Thu, 01 Jan 1970 00:00:00 GMT; Path=/"},
                 {'S', kPost, "c=3; Max-Age=-1; Path=/"},
                 {'G', kPost, ""}}},
        JarCase{"LifetimeIsCapped",
                {{'S', kPost, "a=1; Max-Age=999999999999999999999; Path=/"},
                 {'S', kPost, "b=1; Expires=Fri, 31 Dec 9999 23:59:59 GMT; Path=/"},
                 {'T', "", "34560000"},  // 400 days
                 {'G', kPost, ""}}},
        JarCase{"MalformedRefused",
                {{'S', kPost, "noequals", CookieRefusal::kMalformed},
                 {'S', kPost, "=value", CookieRefusal::kMalformed},
                 {'S', kPost, "a=1\r\nSet-Cookie: b=2", CookieRefusal::kMalformed},
                 {'S', kPost, "a=1\t2", CookieRefusal::kMalformed},
                 {'S', kPost, "a=1; Path=/\x01", CookieRefusal::kMalformed},
                 {'S', "ftp://eagle.5ch.io/", "a=1", CookieRefusal::kBadUrl},
                 {'S', kPost, " name = va lue ; ; Domain=; HttpOnly"},
                 {'G', kPost, "name=va lue"}}}),
    [](const testing::TestParamInfo<JarCase>& info) { return std::string(info.param.name); });

TEST(CookieJarTest, BoundedInSizeAndCount) {
  CookieJar jar(TestSuffixes());
  EXPECT_EQ(jar.Store(kPost, "a=" + std::string(kMaxCookieSize, 'x'), kNow).Code(),
            CookieRefusal::kTooLarge);
  EXPECT_TRUE(jar.Store(kPost, "a=" + std::string(kMaxCookieSize - 1, 'x'), kNow).IsOk());
  for (std::size_t i = 0; i < kMaxCookiesPerDomain + 5; ++i) {
    ASSERT_TRUE(jar.Store(kPost, "n" + std::to_string(i) + "=1; Path=/", kNow).IsOk());
  }
  EXPECT_EQ(jar.Cookies().size(), kMaxCookiesPerDomain);
  EXPECT_EQ(jar.Cookies().back().name, "n54") << "the newest stays, the oldest went";
  EXPECT_EQ(jar.Cookies().front().name, "n5");
  for (std::size_t i = 0; i < kMaxCookies + 5; ++i) {
    ASSERT_TRUE(jar.Store("http://h" + std::to_string(i) + ".example.com/", "x=1", kNow).IsOk());
  }
  EXPECT_EQ(jar.Cookies().size(), kMaxCookies);

  test::TempDataDir dir;
  std::string file;
  for (int i = 0; i < 60; ++i) {
    file += ".5ch.io\tTRUE\t/\tFALSE\t1900000000\tn" + std::to_string(i) + "\t1\n";
  }
  dir.WriteFile("ini/cookies.txt", file);
  ASSERT_TRUE(jar.Load(dir.Path() + "/ini/cookies.txt", kNow).IsOk());
  EXPECT_EQ(jar.Cookies().size(), kMaxCookiesPerDomain) << "the file is held to the same limits";
}

// --- the file ----------------------------------------------------------------------------------

TEST(CookieJarFileTest, SavesNetscapeFormatPrivatelyAndReadsItBack) {
  test::TempDataDir dir;
  const std::string path = dir.Path() + "/ini/cookies.txt";
  CookieJar jar(TestSuffixes());
  ASSERT_TRUE(
      jar.Store(kPost, "acorn=abc; Domain=5ch.io; Path=/; Max-Age=86400; HttpOnly", kNow).IsOk());
  ASSERT_TRUE(jar.Store(kPost, "MonaTicket=m; Secure; Max-Age=100", kNow).IsOk());
  ASSERT_TRUE(jar.Store(kPost, "session=s; Path=/", kNow).IsOk());
  ASSERT_TRUE(jar.Save(path, kNow).IsOk());
  EXPECT_EQ(dir.ReadFile("ini/cookies.txt"),
            "# Netscape HTTP Cookie File\n"
            "# Written by Velkor: the cookies the boards set. Session cookies are not kept.\n\n"
            "#HttpOnly_.5ch.io\tTRUE\t/\tFALSE\t1800086400\tacorn\tabc\n"
            "eagle.5ch.io\tFALSE\t/test\tTRUE\t1800000100\tMonaTicket\tm\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  CookieJar loaded(TestSuffixes());
  ASSERT_TRUE(loaded.Load(path, kNow).IsOk());
  EXPECT_EQ(loaded.CookieHeader(kPost, kNow), "MonaTicket=m; acorn=abc");
  EXPECT_EQ(loaded.CookieHeader("https://hawk.5ch.io/", kNow), "acorn=abc");
  EXPECT_TRUE(loaded.Cookies().front().httpOnly);
  EXPECT_EQ(loaded.FileText(kNow), jar.FileText(kNow)) << "a round trip keeps every byte";
  EXPECT_EQ(loaded.CookieHeader(kPost, kNow + 100), "acorn=abc") << "expiry kept";

  jar.DropSessionCookies();
  EXPECT_EQ(jar.CookieHeader(kPost, kNow), "MonaTicket=m; acorn=abc");
}

TEST(CookieJarFileTest, ReadsCurlFilesAndSkipsWhatIsNoCookie) {
  test::TempDataDir dir;
  dir.WriteFile("ini/cookies.txt",
                "# Netscape HTTP Cookie File\r\n"
                "# https://curl.se/docs/http-cookies.html\r\n"
                "\r\n"
                ".5ch.io\tTRUE\t/\tFALSE\t1900000000\tgood\t1\r\n"
                "eagle.5ch.io\tFALSE\t/\tFALSE\t0\tsession\ts\r\n"
                "eagle.5ch.io\tFALSE\t/\tFALSE\t1900000000\tempty\r\n"
                ".io\tTRUE\t/\tFALSE\t1900000000\tsuffix\t1\r\n"
                "eagle.5ch.io\tFALSE\t/\tFALSE\t1700000000\texpired\t1\r\n"
                "eagle.5ch.io\tMAYBE\t/\tFALSE\t1900000000\tbadflag\t1\r\n"
                "eagle.5ch.io\tFALSE\tnoslash\tFALSE\t1900000000\tbadpath\t1\r\n"
                "eagle.5ch.io\tFALSE\t/\tFALSE\t-5\tbadtime\t1\r\n"
                "eagle.5ch.io\tFALSE\t/\tFALSE\t1900000000\textra\t1\t2\r\n"
                "evil host\tFALSE\t/\tFALSE\t1900000000\tbadhost\t1\r\n"
                "eagle.5ch.io\tFALSE\t/\tFALSE\t1900000000\t\tnoname\r\n");
  CookieJar jar(TestSuffixes());
  ASSERT_TRUE(jar.Load(dir.Path() + "/ini/cookies.txt", kNow).IsOk());
  EXPECT_EQ(jar.CookieHeader(kPost, kNow), "good=1; session=s; empty=");
  jar.DropSessionCookies();
  EXPECT_EQ(jar.CookieHeader(kPost, kNow), "good=1; empty=");

  EXPECT_TRUE(jar.Load(dir.Path() + "/ini/missing.txt", kNow).IsOk());
  EXPECT_TRUE(jar.Cookies().empty());
  dir.WriteFile("ini/big.txt", std::string(kMaxCookieFileSize + 1, '#'));
  EXPECT_FALSE(jar.Load(dir.Path() + "/ini/big.txt", kNow).IsOk());
  EXPECT_FALSE(jar.Save(dir.Path() + "/no/such/folder/cookies.txt", kNow).IsOk());
}

// --- public suffixes ---------------------------------------------------------------------------

TEST(PublicSuffixesTest, RulesWildcardsAndExceptions) {
  const PublicSuffixes& list = TestSuffixes();
  for (const char* suffix : {"com", "IO", "co.jp", "x.kobe.jp", "github.io", "github.io.", "zz"}) {
    EXPECT_TRUE(list.IsPublicSuffix(suffix)) << suffix;
  }
  for (const char* domain : {"5ch.io", "example.co.jp", "city.kobe.jp", "kobe.jp", "a.x.kobe.jp",
                             "user.github.io", "", "a..b", ".com"}) {
    EXPECT_FALSE(list.IsPublicSuffix(domain)) << domain;
  }
  // The system list (or, where it is missing, the built-in one) knows the common cases.
  const PublicSuffixes& system = SystemPublicSuffixes();
  EXPECT_TRUE(system.IsPublicSuffix("co.jp"));
  EXPECT_TRUE(system.IsPublicSuffix("io"));
  EXPECT_TRUE(system.IsPublicSuffix("github.io"));
  EXPECT_FALSE(system.IsPublicSuffix("5ch.io"));
  EXPECT_FALSE(system.IsPublicSuffix("bbspink.com"));
}

}  // namespace
}  // namespace velkor
