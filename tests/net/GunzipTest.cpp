#include "net/Gunzip.h"

#include <gtest/gtest.h>

#include <ostream>

#include "NetTestHelpers.h"

namespace velkor {
namespace {

using test::GzipBytes;

std::string Text(std::size_t size) {
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i) + "<>\n";
  text.resize(size);
  return text;
}

TEST(GunzipTest, DecodesAcrossManyOutputBlocks) {
  std::string original = Text(100000);
  std::string output = "old content";
  EXPECT_EQ(Gunzip(GzipBytes(original), output), GunzipResult::kOk);
  EXPECT_EQ(output, original);
}

TEST(GunzipTest, ZeroBytesComeOutAsStars) {
  std::string original("a\0b\0\0c", 6);
  original += std::string(5000, '\0');
  std::string output;
  ASSERT_EQ(Gunzip(GzipBytes(original), output), GunzipResult::kOk);
  EXPECT_EQ(output, "a*b**c" + std::string(5000, '*'));
}

// A member whose header carries every optional field: the deflate data must be found behind them.
TEST(GunzipTest, SkipsExtraFieldNameCommentAndHeaderCheck) {
  std::string plain = GzipBytes(Text(300));
  std::string member = plain.substr(0, 10);
  member[3] = static_cast<char>(0x04 | 0x08 | 0x10 | 0x02 | 0x01);
  member += std::string("\x03\x00", 2) + "xyz";  // extra field of 3 bytes
  member += std::string("name.txt\0", 9);
  member += std::string("a comment\0", 10);
  member += "HC";  // header check
  member += plain.substr(10);
  std::string output;
  ASSERT_EQ(Gunzip(member, output), GunzipResult::kOk);
  EXPECT_EQ(output, Text(300));
}

struct BadHeaderCase {
  const char* name;
  std::string (*make)();
};

void PrintTo(const BadHeaderCase& c, std::ostream* os) {
  *os << c.name;
}

std::string Valid() {
  return GzipBytes(Text(200));
}

const BadHeaderCase kBadHeaders[] = {
    {"ShorterThan32Bytes", [] { return Valid().substr(0, 31); }},
    {"WrongMagic",
     [] {
       std::string b = Valid();
       b[1] = '\x8c';
       return b;
     }},
    {"MethodNot8",
     [] {
       std::string b = Valid();
       b[2] = 7;
       return b;
     }},
    {"ReservedFlagBit",
     [] {
       std::string b = Valid();
       b[3] = static_cast<char>(0x20);
       return b;
     }},
    {"NameWithoutEnd",
     [] {
       std::string b = Valid().substr(0, 10) + std::string(40, 'n');
       b[3] = 0x08;
       return b;
     }},
    {"ExtraFieldPastTheEnd",
     [] {
       std::string b = Valid();
       b[3] = 0x04;
       b[10] = '\xff';
       b[11] = '\xff';
       return b;
     }},
};

class GunzipBadHeaderTest : public testing::TestWithParam<BadHeaderCase> {};

TEST_P(GunzipBadHeaderTest, Fails) {
  std::string output;
  EXPECT_EQ(Gunzip(GetParam().make(), output), GunzipResult::kBadHeader);
}

INSTANTIATE_TEST_SUITE_P(Headers, GunzipBadHeaderTest, testing::ValuesIn(kBadHeaders),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GunzipTest, StreamCutBeforeItsEndFails) {
  std::string member = GzipBytes(Text(50000));
  std::string output;
  // Without the trailer the deflate data is still whole; cut into the deflate data itself.
  EXPECT_EQ(Gunzip(member.substr(0, member.size() / 2), output), GunzipResult::kBadData);
}

TEST(GunzipTest, MissingTrailerIsAccepted) {
  std::string member = GzipBytes(Text(1000));
  std::string output;
  EXPECT_EQ(Gunzip(member.substr(0, member.size() - 8), output), GunzipResult::kOk);
  EXPECT_EQ(output, Text(1000));
}

TEST(GunzipTest, DamagedDataFails) {
  std::string member = GzipBytes(Text(1000));
  for (std::size_t i = 10; i < 40; ++i) member[i] = '\xff';
  std::string output;
  EXPECT_EQ(Gunzip(member, output), GunzipResult::kBadData);
}

TEST(GunzipTest, OutputAboveTheLimitFails) {
  std::string member = GzipBytes(std::string(100000, 'z'));
  std::string output;
  EXPECT_EQ(Gunzip(member, output, 99999), GunzipResult::kTooLarge);
  EXPECT_EQ(Gunzip(member, output, 100000), GunzipResult::kOk);
}

}  // namespace
}  // namespace velkor
