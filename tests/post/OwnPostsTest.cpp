#include "post/OwnPosts.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"
#include "threads/DatRenderer.h"

namespace velkor {
namespace {

using test::S;

TEST(OwnPostsTest, MarksUnmarksAndRemovesBesideTheLog) {
  test::TempDataDir dir;
  dir.WriteFile("log/h/news/123.dat", "x");
  const std::string board = dir.Path() + "/log/h/news/";
  EXPECT_EQ(OwnPostsPath(board, "123.dat"), board + "123.own");
  EXPECT_TRUE(ReadOwnPosts(board, "123.dat").Value().empty());

  ASSERT_TRUE(MarkOwnPost(board, "123.dat", 12, true).IsOk());
  ASSERT_TRUE(MarkOwnPost(board, "123.dat", 3, true).IsOk());
  ASSERT_TRUE(MarkOwnPost(board, "123.dat", 12, true).IsOk());
  EXPECT_EQ(dir.ReadFile("log/h/news/123.own"), "3\r\n12\r\n");
  ASSERT_TRUE(MarkOwnPost(board, "123.dat", 5, false).IsOk());
  ASSERT_TRUE(MarkOwnPost(board, "123.dat", 3, false).IsOk());
  EXPECT_EQ(ReadOwnPosts(board, "123.dat").Value(), std::vector<int>{12});
  ASSERT_TRUE(MarkOwnPost(board, "123.dat", 12, false).IsOk());
  EXPECT_FALSE(dir.Exists("log/h/news/123.own")) << "no file without own posts";

  dir.WriteFile("log/h/news/9.own", "7\r\njunk\r\n0\r\n2\n2\n100001\n");
  EXPECT_EQ(ReadOwnPosts(board, "9.dat").Value(), (std::vector<int>{2, 7}));
  ASSERT_TRUE(RemoveOwnPosts(board, "9.dat").IsOk());
  EXPECT_FALSE(dir.Exists("log/h/news/9.own"));
  EXPECT_TRUE(RemoveOwnPosts(board, "9.dat").IsOk()) << "nothing to remove is no failure";
  EXPECT_EQ(dir.ReadFile("log/h/news/123.dat"), "x");
}

TEST(OwnPostsTest, RefusesNamesAndNumbersThatAreNoThreadsOrReplies) {
  test::TempDataDir dir;
  const std::string board = dir.Path() + "/log/h/news/";
  for (const char* name : {"../x.dat", "123", "abc.dat", "subject.txt", ""}) {
    EXPECT_EQ(OwnPostsPath(board, name), "") << name;
    EXPECT_FALSE(MarkOwnPost(board, name, 1, true).IsOk()) << name;
    EXPECT_FALSE(ReadOwnPosts(board, name).IsOk()) << name;
    EXPECT_FALSE(RemoveOwnPosts(board, name).IsOk()) << name;
  }
  EXPECT_FALSE(MarkOwnPost(board, "1.dat", 0, true).IsOk());
  EXPECT_FALSE(MarkOwnPost(board, "1.dat", kMaxOwnReplyNumber + 1, true).IsOk());
  EXPECT_FALSE(MarkOwnPost(dir.Path() + "/log/missing/", "1.dat", 1, true).IsOk())
      << "a failed write is reported";
}

TEST(OwnPostsTest, RepliesAnsweringEachOwnReply) {
  ReplyList replies;
  LoadRepliesFromText(replies, S("a<><>d<> one <>t\n"
                                 "b<><>d<> &gt;&gt;1 <>\n"
                                 "c<><>d<> two <>\n"
                                 "d<><>d<> &gt;&gt;3 ＞＞１ <>\n"
                                 "e<><>d<> &gt;&gt;1-3 <>\n"));
  const auto own = AnswersToOwnReplies(ReplyAnswers(replies), {1, 3, 9});
  ASSERT_EQ(own.size(), 3u);
  EXPECT_EQ(own[0].number, 1);
  EXPECT_EQ(own[0].answers, (std::vector<int>{2, 4, 5}));
  EXPECT_EQ(own[1].number, 3);
  EXPECT_EQ(own[1].answers, (std::vector<int>{4, 5}));
  EXPECT_EQ(own[2].number, 9);
  EXPECT_TRUE(own[2].answers.empty());
}

}  // namespace
}  // namespace velkor
