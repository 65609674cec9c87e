// The answer page to a post, as the posting flow reads it. Input: the first line is the URL the
// post went to, the rest the page. Oracles: the text to show is bounded and holds no control byte
// but line feeds; only a confirmation carries a form, and its form goes back only to the post's own
// scheme, host and port; a posted answer has no text.

#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "base/Sjis.h"
#include "net/HttpUrl.h"
#include "post/PostAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 256 * 1024) return 0;
  const fuzz::Head input = fuzz::SplitHead(fuzz::AsText(data, size));
  const PostAnswer answer = ClassifyPostAnswer(input.rest, input.line);

  FUZZ_CHECK(answer.text.size() <= kMaxAnswerText, "the answer's text exceeds the limit", "");
  std::string withoutLineFeeds = answer.text;
  for (char& c : withoutLineFeeds) {
    if (c == '\n') c = ' ';
  }
  FUZZ_CHECK(!fuzz::HasControlByte(withoutLineFeeds), "the answer's text holds a control byte",
             answer.text);
  if (answer.kind == PostAnswerKind::kPosted) {
    FUZZ_CHECK(answer.text.empty(), "a posted answer carries a text", answer.text);
  }
  if (answer.kind != PostAnswerKind::kConfirm) {
    FUZZ_CHECK(answer.form.action.empty() && answer.form.fields.empty(),
               "a form outside a confirmation", answer.form.action);
    return 0;
  }
  FUZZ_CHECK(answer.form.method == "POST" || answer.form.method == "GET",
             "a confirmation's form has another method", answer.form.method);
  HttpUrl post;
  HttpUrl action;
  FUZZ_CHECK(ParseHttpUrl(input.line, post) == HttpUrlStatus::kOk &&
                 ParseHttpUrl(answer.form.action, action) == HttpUrlStatus::kOk,
             "a confirmation whose form cannot be sent", answer.form.action);
  FUZZ_CHECK(post.tls == action.tls && post.port == action.port &&
                 EqualsIgnoreAsciiCase(post.host, action.host),
             "a confirmation's form goes to another server", answer.form.action);
  return 0;
}
