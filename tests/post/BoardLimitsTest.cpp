#include "post/BoardLimits.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

TEST(BoardLimitsTest, ReadsTheKnownKeysOfSettingTxt) {
  const BoardLimits limits = ParseSettingText(
      S("news@5ch\r\nBBS_TITLE=ニュース\r\nBBS_NONAME_NAME=名無しさん＠お腹いっぱい。\r\n"
        "BBS_MESSAGE_COUNT=2048\nBBS_LINE_NUMBER= 16 \nBBS_NAME_COUNT=abc\n"
        "BBS_MAIL_COUNT=99999999\nBBS_SUBJECT_COUNT=64\nBBS_NAME_COUNT2=7\n"));
  EXPECT_EQ(limits.messageBytes, 2048);
  EXPECT_EQ(limits.lineNumber, 16);
  EXPECT_EQ(limits.nameBytes, 0) << "no number: no check";
  EXPECT_EQ(limits.mailBytes, 0) << "above a million: no check";
  EXPECT_EQ(limits.subjectBytes, 64);
  EXPECT_EQ(limits.nonameName, S("名無しさん＠お腹いっぱい。"));
}

struct CheckCase {
  const char* name;
  const char* postName;
  const char* mail;
  const char* subject;  // nullptr: a reply
  const char* message;
  PostCheck code;
  const char* reason;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
  *os << c.name;
}

class PostCheckTest : public testing::TestWithParam<CheckCase> {};

TEST_P(PostCheckTest, RefusesWhatTheServerWould) {
  BoardLimits limits;
  limits.messageBytes = 10;
  limits.lineNumber = 2;
  limits.nameBytes = 6;
  limits.mailBytes = 4;
  limits.subjectBytes = 8;
  PostFields fields;
  fields.bbs = "news";
  fields.key = GetParam().subject ? "" : "123";
  fields.subject = GetParam().subject ? S(GetParam().subject) : "";
  fields.name = S(GetParam().postName);
  fields.mail = GetParam().mail;
  fields.message = S(GetParam().message);
  const Result<PostCheck> result = CheckPost(fields, limits);
  EXPECT_EQ(result.Code(), GetParam().code);
  EXPECT_EQ(result.Reason(), S(GetParam().reason));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PostCheckTest,
    testing::Values(
        CheckCase{"Fits", "名無し", "sage", nullptr, "0123456789", PostCheck::kOk, ""},
        CheckCase{"EmptyMessage", "", "", nullptr, " \r\n \n", PostCheck::kEmptyMessage,
                  "本文がありません"},
        CheckCase{"MessageBytes", "", "", nullptr, "あいうえおか", PostCheck::kMessageTooLong,
                  "本文が長すぎます (12 バイト / 上限 10)"},
        CheckCase{"LineBreaksCountOnceAndNotAtTheEnd", "", "", nullptr, "a\r\nb\r\nc\r\nd\r\n\r\n",
                  PostCheck::kOk, ""},
        CheckCase{"TwiceTheLineNumber", "", "", nullptr, "a\nb\nc\nd\ne", PostCheck::kTooManyLines,
                  "本文の行が多すぎます (5 行 / 上限 4)"},
        CheckCase{"NameUpToTheTripKey", "名無し#longtripkey", "", nullptr, "x", PostCheck::kOk, ""},
        CheckCase{"NameBytes", "名無しさん＃key", "", nullptr, "x", PostCheck::kNameTooLong,
                  "名前が長すぎます (10 バイト / 上限 6)"},
        CheckCase{"MailBytes", "", "sage!", nullptr, "x", PostCheck::kMailTooLong,
                  "メール欄が長すぎます (5 バイト / 上限 4)"},
        CheckCase{"NewThreadWithoutSubject", "", "", " ", "x", PostCheck::kEmptySubject,
                  "タイトルがありません"},
        CheckCase{"SubjectBytes", "", "", "スレッド立て", "x", PostCheck::kSubjectTooLong,
                  "タイトルが長すぎます (12 バイト / 上限 8)"}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(PostCheckTest, UnknownLimitsCheckOnlyForAMessage) {
  PostFields fields;
  fields.key = "1";
  fields.name = std::string(5000, 'n');
  fields.message = std::string(100000, 'm');
  EXPECT_TRUE(CheckPost(fields, BoardLimits{}).IsOk());
}

TEST(BoardSettingTest, StoredBesideTheLogsWithItsTimeStamp) {
  test::TempDataDir dir;
  const std::string board = dir.Path() + "/log/eagle.5ch.io/news/";
  dir.WriteFile("log/eagle.5ch.io/news/1.dat", "x");
  EXPECT_EQ(ReadBoardSetting(board).text, "");
  dir.WriteFile("log/eagle.5ch.io/news/setting.ini", "[SETTING.TXT]\r\nLastModified=old\r\n\r\n");
  EXPECT_EQ(ReadBoardSetting(board).lastModified, "") << "no time stamp without the file";

  ASSERT_TRUE(
      StoreBoardSetting(board, "BBS_LINE_NUMBER=16\n", " Tue, 02 Jan 2024 03:04:05 GMT").IsOk());
  EXPECT_EQ(dir.ReadFile("log/eagle.5ch.io/news/SETTING.TXT"), "BBS_LINE_NUMBER=16\n");
  EXPECT_EQ(dir.ReadFile("log/eagle.5ch.io/news/setting.ini"),
            "[SETTING.TXT]\r\nLastModified= Tue, 02 Jan 2024 03:04:05 GMT\r\n\r\n");
  const StoredBoardSetting stored = ReadBoardSetting(board);
  EXPECT_EQ(stored.text, "BBS_LINE_NUMBER=16\n");
  EXPECT_EQ(stored.lastModified, " Tue, 02 Jan 2024 03:04:05 GMT");
  EXPECT_FALSE(StoreBoardSetting(dir.Path() + "/log/missing/", "x", "").IsOk());
}

}  // namespace
}  // namespace velkor
