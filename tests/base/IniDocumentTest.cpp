#include "base/IniDocument.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

TEST(IniDocumentTest, ReadingRules) {
  IniDocument doc;
  doc.Parse(
      "before=ignored\r\n"
      "  [Main]  \r\n"
      "; a comment\r\n"
      "\r\n"
      "  top = 5 \n"
      "url=http://a/b?c=d\r"
      "noequals\r\n"
      "[main]\r\n"
      "late=1\r\n");
  ASSERT_EQ(doc.Sections().size(), 1u) << "a repeated section continues the first";
  EXPECT_FALSE(doc.ValueExists("", "before"));
  // Lines are trimmed, but the key is everything before the first "=".
  EXPECT_EQ(doc.Find("MAIN", "top "), " 5");
  EXPECT_FALSE(doc.Find("Main", "top").has_value());
  EXPECT_EQ(doc.ReadString("main", "URL", "x"), "http://a/b?c=d");
  EXPECT_EQ(doc.ReadString("main", "noequals", "fallback"), "fallback");
  EXPECT_EQ(doc.ReadInteger("main", "late", 0), 1);
}

struct IntegerCase {
  const char* text;
  long long expected;  // the fallback 77 marks a rejected value
};

void PrintTo(const IntegerCase& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

class IniIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IniIntegerTest, ReadsDecimalAndHex) {
  IniDocument doc;
  doc.WriteString("S", "k", GetParam().text);
  EXPECT_EQ(doc.ReadInteger("S", "k", 77), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, IniIntegerTest,
                         ::testing::Values(IntegerCase{"10", 10}, IntegerCase{"-3", -3},
                                           IntegerCase{"0xFF", 255}, IntegerCase{"0Xff", 255},
                                           IntegerCase{"$A2FF", 0xA2FF}, IntegerCase{"abc", 77},
                                           IntegerCase{"", 77}, IntegerCase{" 1", 77},
                                           IntegerCase{"1x", 77}, IntegerCase{"0x", 77},
                                           IntegerCase{"99999999999999999999", 77},
                                           IntegerCase{"-9223372036854775808", INT64_MIN}));

TEST(IniDocumentTest, WritesCrLfWithEmptyLineAfterEachSection) {
  IniDocument doc;
  doc.WriteString("B", "x", "1");
  doc.WriteString("A", "y", "2");
  doc.WriteString("b", "X", "3");  // same key, other case: replaced in place
  doc.WriteString("B", "z", "");
  EXPECT_EQ(doc.ToText(), "[B]\r\nx=3\r\nz=\r\n\r\n[A]\r\ny=2\r\n\r\n");
  doc.WriteString("C", "w", "4");
  doc.WriteString("D", "v", "5");
  doc.DeleteKey("B", "X");
  doc.EraseSection("a");
  doc.EraseSectionsIf([](const IniDocument::Section& section) { return section.name == "C"; });
  EXPECT_EQ(doc.ToText(), "[B]\r\nz=\r\n\r\n[D]\r\nv=5\r\n\r\n");
  EXPECT_TRUE(doc.ValueExists("B", "z"));
  EXPECT_EQ(doc.ReadString("d", "V", ""), "5") << "the index follows the erasures";
  EXPECT_FALSE(doc.SectionExists("A"));
  EXPECT_FALSE(doc.SectionExists("c"));
}

// A value from the network ("x" LF "[9999999999.dat]" ...) must not start sections or entries of
// its own, whichever way it reaches the document.
TEST(IniDocumentTest, NothingWrittenCanBreakALine) {
  IniDocument doc;
  doc.WriteString("1.dat", "LastModified", "x\n[9999999999.dat]\r\nTitle=INJECTED\r");
  doc.WriteString("a\r\nb", "k\n", "v");
  doc.AddOrGetSection("c").entries.push_back({"k", "1\r\n[x]", true});
  const std::string text = doc.ToText();
  EXPECT_EQ(text,
            "[1.dat]\r\nLastModified=x[9999999999.dat]Title=INJECTED\r\n\r\n"
            "[ab]\r\nk=v\r\n\r\n[c]\r\nk=1[x]\r\n\r\n");
  IniDocument again;
  again.Parse(text);
  EXPECT_EQ(again.ToText(), text);
  EXPECT_FALSE(again.SectionExists("9999999999.dat"));
  EXPECT_EQ(again.ReadString("1.dat", "LastModified", ""),
            doc.ReadString("1.dat", "LastModified", ""));
}

TEST(IniDocumentTest, RoundTripKeepsOrderAndShiftJisNames) {
  test::TempDataDir dir;
  const std::string path = dir.Path() + "/ini/t.ini";
  const std::string category = test::S("ニュース");  // names with two-byte characters
  IniDocument doc;
  doc.WriteString(category, test::S("ソフトウェア"), "http://a/b/");
  doc.WriteString("Z", "k", "v");
  ASSERT_TRUE(doc.Save(path));
  IniDocument again;
  ASSERT_TRUE(again.Load(path));
  EXPECT_EQ(again.ToText(), doc.ToText());
  EXPECT_EQ(again.Sections().front().name, category);
  EXPECT_EQ(again.ReadString(category, test::S("ソフトウェア"), ""), "http://a/b/");
  EXPECT_FALSE(again.Load(dir.Path() + "/missing.ini"));
  EXPECT_TRUE(again.Sections().empty());
}

}  // namespace
}  // namespace velkor
