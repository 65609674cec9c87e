#include "post/PostDrafts.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

// A draft outlives the process that typed it: what one run saved, the next reads back as typed
// (line breaks as LF, characters CP932 lacks kept); a draft emptied goes, and a name or mail alone
// is no draft.
TEST(PostDraftsTest, KeptAcrossRunsUntilEmptied) {
  test::TempDataDir dir;
  const std::string path = DraftPath("https://hayabusa.5ch.io/cook/", "1700000000");
  ASSERT_EQ(path, dir.Path() + "/draft/hayabusa.5ch.io/cook/1700000000.txt");
  EXPECT_TRUE(ReadDraft(path).Value().IsEmpty()) << "no file: an empty draft";

  const SavedDraft typed{"", "名無し#trip", "sage", ">>12\n二行目 😀\n\n"};
  ASSERT_TRUE(SaveDraft(path, typed).IsOk());
  EXPECT_EQ(dir.ReadFile("draft/hayabusa.5ch.io/cook/1700000000.txt"),
            "Subject=\r\nName=名無し#trip\r\nMail=sage\r\n\r\n>>12\r\n二行目 😀\r\n\r\n");
  EXPECT_EQ(ReadDraft(path).Value(), typed);

  dir.WriteFile("draft/hayabusa.5ch.io/cook/1700000000.txt",
                "Unknown=x\r\nSubject=s\rName=n\nMail=m=1\r\n\r\nline\r\rend");
  EXPECT_EQ(ReadDraft(path).Value(), (SavedDraft{"s", "n", "m=1", "line\n\nend"}));

  const std::string newThread = DraftPath("https://hayabusa.5ch.io/cook/", "");
  ASSERT_TRUE(SaveDraft(newThread, {"タイトル\r\n改行", "", "", ""}).IsOk());
  EXPECT_EQ(ReadDraft(newThread).Value().subject, "タイトル  改行");

  ASSERT_TRUE(SaveDraft(path, {"", "name", "mail", ""}).IsOk());
  EXPECT_FALSE(dir.Exists("draft/hayabusa.5ch.io/cook/1700000000.txt"));
  ASSERT_TRUE(RemoveDraft(newThread).IsOk());
  EXPECT_FALSE(dir.Exists("draft/hayabusa.5ch.io/cook/newthread.txt"));
  EXPECT_TRUE(RemoveDraft(newThread).IsOk()) << "nothing to remove is no failure";
}

TEST(PostDraftsTest, NoPathOutsideTheDraftFolder) {
  test::TempDataDir dir;
  for (const auto& [url, key] : {std::pair{"https://h.io/b/", "../1"},
                                 {"https://h.io/b/", "12a"},
                                 {"https://h.io/", "1"},
                                 {"https://h.io/../b/", "1"},
                                 {"https://h.io/b%2F..%2F/", "1"}}) {
    EXPECT_EQ(DraftPath(url, key), "") << url << " " << key;
  }
  dir.WriteFile("draft", "a file where the folder should be");
  EXPECT_FALSE(SaveDraft(DraftPath("https://h.io/b/", "1"), {"", "", "", "x"}).IsOk());
}

}  // namespace
}  // namespace velkor
