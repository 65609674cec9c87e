#include "net/ChunkDecoder.h"

#include <gtest/gtest.h>

namespace velkor {
namespace {

const std::string kFramed =
    "5;name=value\r\nhello\r\n"
    "1A\r\n, and some more content.\r\n\r\n"
    "0\r\nX-Trailer: yes\r\n\r\n";
const std::string kContent = "hello, and some more content.\r\n";

TEST(ChunkDecoderTest, WholeBodyAtOnce) {
  ChunkDecoder decoder;
  std::string content;
  ASSERT_TRUE(decoder.Feed(kFramed, content));
  EXPECT_TRUE(decoder.Done());
  EXPECT_EQ(content, kContent);
}

TEST(ChunkDecoderTest, OneByteAtATime) {
  ChunkDecoder decoder;
  std::string content;
  for (std::size_t i = 0; i < kFramed.size(); ++i) {
    EXPECT_FALSE(decoder.Done()) << i;
    ASSERT_TRUE(decoder.Feed(kFramed.substr(i, 1), content)) << i;
  }
  EXPECT_TRUE(decoder.Done());
  EXPECT_EQ(content, kContent);
}

TEST(ChunkDecoderTest, BareLineFeedsAndNoTrailer) {
  ChunkDecoder decoder;
  std::string content;
  ASSERT_TRUE(decoder.Feed("3\nabc\n0\n\n", content));
  EXPECT_TRUE(decoder.Done());
  EXPECT_EQ(content, "abc");
}

TEST(ChunkDecoderTest, NotDoneBeforeTheFinalChunk) {
  ChunkDecoder decoder;
  std::string content;
  ASSERT_TRUE(decoder.Feed("3\r\nabc\r\n0\r\n", content));
  EXPECT_FALSE(decoder.Done());
  ASSERT_TRUE(decoder.Feed("\r\n", content));
  EXPECT_TRUE(decoder.Done());
}

class ChunkDecoderMalformedTest : public testing::TestWithParam<const char*> {};

TEST_P(ChunkDecoderMalformedTest, Fails) {
  ChunkDecoder decoder;
  std::string content;
  EXPECT_FALSE(decoder.Feed(GetParam(), content));
  EXPECT_FALSE(decoder.Feed("0\r\n\r\n", content));  // a fault is final
  EXPECT_FALSE(decoder.Done());
}

INSTANTIATE_TEST_SUITE_P(Framing, ChunkDecoderMalformedTest,
                         testing::Values("xyz\r\n", "\r\n", "3\r\nabcX\r\n",
                                         "1000000000000000\r\n"));

}  // namespace
}  // namespace velkor
