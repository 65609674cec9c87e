#include "post/WritingLog.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

TEST(WritingLogTest, AppendsOneEntryPerPostInTheKnownForm) {
  test::TempDataDir dir;
  ::setenv("TZ", "JST-9", 1);
  ::tzset();
  WritingLogEntry entry;
  entry.time = 1'800'000'000;  // 2027/01/15 17:00:00 in Tokyo
  entry.subject = S("スレ\r\n[偽]");
  entry.url = "https://eagle.5ch.io/test/read.cgi/news/123/";
  entry.name = S("名無し");
  entry.mail = "sage";
  entry.message = S("一行目\n\r\n三行目\r");
  ASSERT_TRUE(AppendWritingLog(WritingLogPath(), entry).IsOk());
  entry.message = "second";
  entry.subject = "s";
  ASSERT_TRUE(AppendWritingLog(WritingLogPath(), entry).IsOk());
  const std::string dashes(50, '-');
  EXPECT_EQ(dir.ReadFile("log/kakikomi.txt"),
            S(dashes +
              "\r\nDate : 2027/01/15 17:00:00\r\nSubject : スレ  [偽]\r\n"
              "URL : https://eagle.5ch.io/test/read.cgi/news/123/\r\nFROM : 名無し\r\n"
              "MAIL : sage\r\n\r\n一行目\r\n\r\n三行目\r\n\r\n" +
              dashes +
              "\r\nDate : 2027/01/15 17:00:00\r\nSubject : s\r\n"
              "URL : https://eagle.5ch.io/test/read.cgi/news/123/\r\nFROM : 名無し\r\n"
              "MAIL : sage\r\n\r\nsecond\r\n\r\n"));
  ::unsetenv("TZ");
  ::tzset();
  EXPECT_FALSE(AppendWritingLog(dir.Path() + "/missing/kakikomi.txt", entry).IsOk());
}

}  // namespace
}  // namespace velkor
