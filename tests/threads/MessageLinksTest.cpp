#include "threads/MessageLinks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

struct ConversionCase {
  const char* name;
  const char* input;  // UTF-8, converted to CP932
  const char* expected;
};

void PrintTo(const ConversionCase& c, std::ostream* os) {
  *os << c.name;
}

std::string CaseName(const testing::TestParamInfo<ConversionCase>& info) {
  return info.param.name;
}

class ReplyAnchorTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(ReplyAnchorTest, LinksAsWritten) {
  EXPECT_EQ(LinkReplyAnchors(S(GetParam().input)), S(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Anchors, ReplyAnchorTest,
    testing::Values(
        ConversionCase{"FullWidthRange", "&gt;&gt;１２－１５",
                       "<a href=\"#a12-15\">&gt;&gt;１２－１５</a>"},
        ConversionCase{"CommaAndSpace", "&gt;&gt;3, 5", "<a href=\"#a3,,5\">&gt;&gt;3, 5</a>"},
        ConversionCase{"LettersAreNoNumber", "&gt;&gt;abc", "&gt;&gt;abc"},
        ConversionCase{"LoneAmpersandJoinsTheNumber", "&gt;&gt;5&quot;",
                       "<a href=\"#a5,\">&gt;&gt;5&</a>quot;"},
        ConversionCase{"AmpEntityJoinsTheNumber", "&gt;&gt;1&amp;2 x",
                       "<a href=\"#a1,2,\">&gt;&gt;1&amp;2 </a>x"},
        ConversionCase{"GtEndsTheNumber", "&gt;&gt;1&gt;&gt;2",
                       "<a href=\"#a1\">&gt;&gt;1</a><a href=\"#a2\">&gt;&gt;2</a>"},
        ConversionCase{"LtEndsTheNumber", "&gt;1&lt;", "<a href=\"#a1\">&gt;1</a>&lt;"},
        ConversionCase{"NbspEndsTheNumber", "&gt;1&nbsp;", "<a href=\"#a1\">&gt;1</a>&nbsp;"},
        ConversionCase{"FullWidthMarkers", "＞＞１", "<a href=\"#a1\">＞＞１</a>"},
        ConversionCase{"MixedMarkers", "≫》&gt;＞7", "<a href=\"#a7\">≫》&gt;＞7</a>"},
        ConversionCase{"HyphenAndDots", "&gt;1‐3･5・6、7，8.9",
                       "<a href=\"#a1-3,5,6,7,8,9\">&gt;1‐3･5・6、7，8.9</a>"},
        ConversionCase{"WaveDashAndEquals", "&gt;1～2＝3=4",
                       "<a href=\"#a1-2=3=4\">&gt;1～2＝3=4</a>"},
        ConversionCase{"ZeroStaysText", "&gt;&gt;0 x", "&gt;&gt;0 x"},
        ConversionCase{"LeadingMarkCountsAfterIt", "&gt;&gt;,5", "<a href=\"#a,5\">&gt;&gt;,5</a>"},
        ConversionCase{"ZeroThenCommaStaysText", "&gt;&gt;0,5", "&gt;&gt;0,5"},
        ConversionCase{"LeadingMinusIsASign", "&gt;-5", "<a href=\"#a-5\">&gt;-5</a>"},
        ConversionCase{"TextAroundIsKept", "見て&gt;&gt;2だよ",
                       "見て<a href=\"#a2\">&gt;&gt;2</a>だよ"},
        ConversionCase{"MarkerAtTheEnd", "end&gt;", "end&gt;"},
        ConversionCase{"LoneAmpersand", "a & b", "a & b"},
        ConversionCase{"NoMarkerInsideACharacter", "＝А", "＝А"},
        ConversionCase{"LetterIsNotASecondByte", "&gt;1C", "<a href=\"#a1\">&gt;1</a>C"},
        ConversionCase{"EveryFullWidthDigit", "＞１２３４５６７８９０",
                       "<a href=\"#a1234567890\">＞１２３４５６７８９０</a>"},
        ConversionCase{"FullWidthAmpersandAndComma", "&gt;1＆2,3",
                       "<a href=\"#a1,2,3\">&gt;1＆2,3</a>"},
        ConversionCase{"LeadingZeroKeepsTheLink", "&gt;&gt;05", "<a href=\"#a05\">&gt;&gt;05</a>"},
        ConversionCase{"ZeroAfterZeroStaysText", "&gt;&gt;00", "&gt;&gt;00"},
        ConversionCase{"ZeroThenRangeIsASignedNumber", "&gt;0-5", "<a href=\"#a0-5\">&gt;0-5</a>"},
        ConversionCase{"EqualsFirstCountsAfterIt", "&gt;=5", "<a href=\"#a=5\">&gt;=5</a>"},
        ConversionCase{"MinusZeroStaysText", "&gt;-0", "&gt;-0"},
        ConversionCase{"AmpEntityFirst", "&gt;&amp;7", "<a href=\"#a,7\">&gt;&amp;7</a>"},
        ConversionCase{"LoneAmpersandAtTheEnd", "&gt;3&", "<a href=\"#a3,\">&gt;3&</a>"},
        ConversionCase{"NbspRightAfterMarker", "&gt;&nbsp;3", "&gt;&nbsp;3"},
        ConversionCase{"LtRightAfterMarker", "&gt;&lt;3", "&gt;&lt;3"}),
    CaseName);

TEST(ReplyAnchorTest, BrokenCharactersEndTheNumberWithoutReadingPastTheText) {
  EXPECT_EQ(LinkReplyAnchors("&gt;1\x82"), "<a href=\"#a1\">&gt;1</a>\x82");
  EXPECT_EQ(LinkReplyAnchors("&gt;\x82"), "&gt;\x82");
  EXPECT_EQ(LinkReplyAnchors("x\x81"), "x\x81");
  // A lead byte before an ASCII digit is a broken character of its own; the digit still counts.
  EXPECT_EQ(LinkReplyAnchors("&gt;\x82"
                             "5"),
            "&gt;\x82"
            "5");
  EXPECT_EQ(LinkReplyAnchors("\x82&gt;5"), "\x82<a href=\"#a5\">&gt;5</a>");
}

TEST(ReplyAnchorTest, MarkersAreFoundOnlyAtCharacterStarts) {
  // 0x88 0x9F ("亜") twice: four bytes that could all start a character, then a real "＞".
  EXPECT_EQ(LinkReplyAnchors("\x88\x9F\x88\x9F\x81\x84"
                             "1"),
            "\x88\x9F\x88\x9F<a href=\"#a1\">\x81\x84"
            "1</a>");
  // Three lead-range bytes: the 0x81 0x84 after them is the second half of a character.
  EXPECT_EQ(LinkReplyAnchors("\x88\x9F\x88\x81\x84"
                             "1"),
            "\x88\x9F\x88\x81\x84"
            "1");
  EXPECT_EQ(LinkUrls("\x88\x9F\x88http://a/"), "\x88\x9F\x88h<a href=\"http://a/\">ttp://a/</a>");
  EXPECT_EQ(LinkUrls("\x88\x9Fhttp://a/"), "\x88\x9F<a href=\"http://a/\">http://a/</a>");
}

TEST(ReplyAnchorTest, VeryLongNumbersNeitherOverflowNorLoseTheirLink) {
  const std::string nines(5000, '9');
  EXPECT_EQ(LinkReplyAnchors("&gt;&gt;" + nines),
            "<a href=\"#a" + nines + "\">&gt;&gt;" + nines + "</a>");
  // 2^32 + 1: a number that wraps to 0 in 32 bits is still not 0.
  EXPECT_EQ(LinkReplyAnchors("&gt;4294967296"), "<a href=\"#a4294967296\">&gt;4294967296</a>");
  const std::string zeros(5000, '0');
  EXPECT_EQ(LinkReplyAnchors("&gt;" + zeros), "&gt;" + zeros);
}

class UrlLinkTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(UrlLinkTest, LinksAsWritten) {
  EXPECT_EQ(LinkUrls(S(GetParam().input)), S(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, UrlLinkTest,
    testing::Values(
        ConversionCase{
            "Plain", "see http://example.com/a?b=c#d ok",
            "see <a href=\"http://example.com/a?b=c#d\">http://example.com/a?b=c#d</a> ok"},
        ConversionCase{"WithoutH", "ttp://example.com/x",
                       "<a href=\"http://example.com/x\">ttp://example.com/x</a>"},
        ConversionCase{"Https", "see https://example.com/a ok",
                       "see <a href=\"https://example.com/a\">https://example.com/a</a> ok"},
        ConversionCase{"HttpsWithoutH", "xttps://example.com/x",
                       "x<a href=\"https://example.com/x\">ttps://example.com/x</a>"},
        ConversionCase{"HttpsRedirector", "https://ime.nu/example.com/",
                       "<a href=\"https://example.com/\">https://ime.nu/example.com/</a>"},
        ConversionCase{"HttpsRedirectorWithoutH", "ttps://pinktower.com/example.com/",
                       "<a href=\"https://example.com/\">ttps://pinktower.com/example.com/</a>"},
        ConversionCase{"Ftp", "ftp://files.example/x.zip",
                       "<a href=\"ftp://files.example/x.zip\">ftp://files.example/x.zip</a>"},
        ConversionCase{"EndsBeforeGt", "http://example.com/&gt;&gt;5",
                       "<a href=\"http://example.com/\">http://example.com/</a>&gt;&gt;5"},
        ConversionCase{"EndsAtJapanese", "http://example.com/あ",
                       "<a href=\"http://example.com/\">http://example.com/</a>あ"},
        ConversionCase{"EndsAtQuoteAndTag", "http://a.example/\"<br>",
                       "<a href=\"http://a.example/\">http://a.example/</a>\"<br>"},
        ConversionCase{"FirstRedirector", "http://ime.nu/www.example.com/",
                       "<a href=\"http://www.example.com/\">http://ime.nu/www.example.com/</a>"},
        ConversionCase{"SecondRedirector", "http://pinktower.com/example.com/",
                       "<a href=\"http://example.com/\">http://pinktower.com/example.com/</a>"},
        ConversionCase{"RedirectorWithoutH", "ttp://ime.nu/example.com/",
                       "<a href=\"http://example.com/\">ttp://ime.nu/example.com/</a>"},
        ConversionCase{"RedirectorTwice", "http://ime.nu/ime.nu/x",
                       "<a href=\"http://x\">http://ime.nu/ime.nu/x</a>"},
        ConversionCase{"RedirectorInsideIsKept", "http://example.com/?u=http://ime.nu/x",
                       "<a href=\"http://example.com/?u=http://ime.nu/x\">"
                       "http://example.com/?u=http://ime.nu/x</a>"},
        ConversionCase{"RedirectorReplacesEveryOccurrence",
                       "http://ime.nu/a.example/?http://ime.nu/b",
                       "<a href=\"http://a.example/?http://b\">"
                       "http://ime.nu/a.example/?http://ime.nu/b</a>"},
        ConversionCase{"FirstRedirectorThenSecond", "http://ime.nu/pinktower.com/x",
                       "<a href=\"http://x\">http://ime.nu/pinktower.com/x</a>"},
        ConversionCase{"SecondRedirectorIsNotFollowedByTheFirst", "http://pinktower.com/ime.nu/x",
                       "<a href=\"http://ime.nu/x\">http://pinktower.com/ime.nu/x</a>"},
        ConversionCase{"AmpEntityInsideTheUrl", "http://a.example/?x=1&amp;y=2 z",
                       "<a href=\"http://a.example/?x=1&amp;y=2\">"
                       "http://a.example/?x=1&amp;y=2</a> z"},
        ConversionCase{"HttpBeforeTtp", "xhttp://a/", "x<a href=\"http://a/\">http://a/</a>"},
        ConversionCase{"TwoUrls", "http://a.example/ and ftp://b.example/",
                       "<a href=\"http://a.example/\">http://a.example/</a> and "
                       "<a href=\"ftp://b.example/\">ftp://b.example/</a>"},
        ConversionCase{"SchemeAlone", "http://", "<a href=\"http://\">http://</a>"},
        ConversionCase{"NoUrl", "htt://x tp://y", "htt://x tp://y"},
        // "”" is 0x81 0x68: its second byte is an "h" that must not start "http://".
        ConversionCase{"NotFromASecondByte", "”ttp://a.example/",
                       "”<a href=\"http://a.example/\">ttp://a.example/</a>"}),
    CaseName);

class AnchorTagTest : public testing::TestWithParam<ConversionCase> {};

TEST_P(AnchorTagTest, StripsServerLinks) {
  EXPECT_EQ(StripAnchorTags(S(GetParam().input)), S(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Tags, AnchorTagTest,
    testing::Values(
        ConversionCase{"KeepsLinkText",
                       "<a href=\"../test/read.cgi/b/1/5\" target=\"_blank\">&gt;&gt;5</a> 本当",
                       "&gt;&gt;5 本当"},
        ConversionCase{"Several", "<a>1</a>-<a x>2</a>", "1-2"},
        ConversionCase{"MissingEndKeepsRest", "pre <a href=x>text", "pre text"},
        ConversionCase{"UnterminatedTagDropsRest", "pre <a href=\"x", "pre "},
        ConversionCase{"OtherTagsStay", "<b>x</b><br>", "<b>x</b><br>"},
        ConversionCase{"NoTags", "テキスト", "テキスト"}),
    CaseName);

}  // namespace
}  // namespace velkor

namespace velkor {
namespace {

// Pieces that random messages are made of: markers, number characters, entities, URL parts,
// two-byte characters whose second byte looks like ASCII, and bytes that break characters.
const std::vector<std::string>& Pieces() {
  static const std::vector<std::string> pieces = {
      "&gt;",     "&",          "&amp;",    "&lt;",
      "&nbsp;",   "1",          "0",        "9",
      ",",        "-",          " ",        "=",
      ".",        "\x81\x84",   "\x81\xE2", "\x81\x74",
      "\x81\x7C", "\x82\x50",   "\x81\x5D", "\xA5",
      "\x81\x81", "\x88\x9F",   "\x81\x68", "\x83\x6C",
      "\x81",     "\x82",       "\xFC",     "http://",
      "ttp://",   "ftp://",     "ime.nu/",  "pinktower.com/",
      "a",        "h",          "t",        "f",
      "://",      "x.example/", "\"",       "'"};
  return pieces;
}

// The text with every link the conversions add taken out again.
std::string WithoutAddedLinks(const std::string& text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.compare(pos, 9, "<a href=\"") == 0) {
      pos = text.find("\">", pos) + 2;
    } else if (text.compare(pos, 4, "</a>") == 0) {
      pos += 4;
    } else {
      out.push_back(text[pos++]);
    }
  }
  return out;
}

TEST(MessageLinksPropertyTest, RandomTextKeepsEveryByteAndOnlyAddsLinks) {
  std::mt19937 random(20261207);
  const auto& pieces = Pieces();
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int count = static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
    const std::string anchors = LinkReplyAnchors(text);
    EXPECT_EQ(WithoutAddedLinks(anchors), text) << "round " << round;
    const std::string urls = LinkUrls(anchors);
    EXPECT_EQ(WithoutAddedLinks(urls), text) << "round " << round;
    EXPECT_EQ(StripAnchorTags(urls), WithoutAddedLinks(urls)) << "round " << round;
  }
}

}  // namespace
}  // namespace velkor
