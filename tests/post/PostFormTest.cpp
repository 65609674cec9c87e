#include "post/PostForm.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::S;

constexpr std::string_view kSubmit = "submit=%8F%91%82%AB%8D%9E%82%DE";

TEST(PostFormTest, ReplyFieldsInOrderAsABrowserEncodesThem) {
  PostFields fields;
  fields.bbs = "news";
  fields.key = "1700000000";
  fields.subject = "ignored for a reply";
  fields.time = PostTime(1'800'000'030);
  fields.name = S("名無し");
  fields.mail = "sage";
  fields.message = "a b\n<c>&d=e\r\n~*-._\rend";
  EXPECT_EQ(PostFormBody(fields),
            "bbs=news&key=1700000000&time=1800000000&FROM=%96%BC%96%B3%82%B5&mail=sage"
            "&MESSAGE=a+b%0D%0A%3Cc%3E%26d%3De%0D%0A%7E*-._%0D%0Aend&" +
                std::string(kSubmit));
}

TEST(PostFormTest, NewThreadSendsItsSubjectInsteadOfAKey) {
  PostFields fields;
  fields.bbs = "news";
  fields.subject = S("テスト スレ");
  fields.time = 5;
  fields.message = "x";
  EXPECT_EQ(PostFormBody(fields),
            "bbs=news&subject=%83e%83X%83g+%83X%83%8C&time=5&FROM=&mail="
            "&MESSAGE=x&" +
                std::string(kSubmit));
  EXPECT_EQ(FormBody({{"a b", "&="}, {"x", ""}}), "a+b=%26%3D&x=");
}

TEST(PostFormTest, CharactersCp932LacksBecomeCharacterReferences) {
  EXPECT_EQ(Utf8ToPostText("abc 名無し").Value(), S("abc 名無し"));
  EXPECT_EQ(Utf8ToPostText("a😀b\xC3\xA9①").Value(), "a&#128512;b&#233;" + S("①"));
  const auto broken = Utf8ToPostText("ok\xE3\x81");
  EXPECT_FALSE(broken.IsOk());
  EXPECT_FALSE(broken.Reason().empty());
  EXPECT_FALSE(Utf8ToPostText("\xED\xA0\x80").IsOk()) << "a surrogate is no character";
  EXPECT_FALSE(Utf8ToPostText("\xC0\xAF").IsOk()) << "an overlong form is refused";
}

}  // namespace
}  // namespace velkor
