#pragma once

// What the server's answer to a post means. The answer is an HTML page (CP932) that says what
// happened in a comment "<!-- 2ch_X:... -->" and in its title; the comment is read first:
//   true, or a title with 書きこみました          posted
//   false                                      posted, with a warning to show
//   cookie / check, or a title with 書き込み確認   a confirmation page: it holds a form that must
//   be
//                                              sent back unaltered once the user accepted its text
//   error, or a title with ＥＲＲＯＲ              refused; the reason is in the body
// A page with none of these is an unknown answer: a failure, shown with its text.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor {

enum class PostAnswerKind {
  kPosted,
  kWarning,  // posted, with the text to show
  kConfirm,  // nothing posted yet: show the text, send the form back only when the user accepts
  kError,    // refused: the text is the reason
  kUnknown,  // a failure: the text is the page's text
};

// A confirmation page's form, to send back as it stands.
struct ConfirmForm {
  std::string action;  // absolute URL; always on the scheme, host and port the post went to
  std::string method;  // "POST" or "GET"
  // The names and values a browser would send, in page order: hidden and text inputs, checked
  // boxes, the first named submit button and text areas; character references decoded (one that
  // CP932 cannot hold stays as written, as a browser would send it back).
  std::vector<std::pair<std::string, std::string>> fields;
};

struct PostAnswer {
  PostAnswerKind kind = PostAnswerKind::kUnknown;
  // What to show, CP932, lines separated by LF, at most kMaxAnswerText bytes: the warning, the
  // reason of a refusal (the body's first line that says ERROR, else the whole body text), the
  // confirmation page's text, or the unknown page's text. Empty for kPosted.
  std::string text;
  ConfirmForm form;  // kConfirm only
};

inline constexpr std::size_t kMaxAnswerText = 16 * 1024;

// Classifies `page`, the answer to a post sent to `postUrl` (the URL the confirmation form's
// relative action is read against). A confirmation page whose form is missing, or whose action
// leads to another scheme, host or port than `postUrl`, is an unknown answer: nothing of the post
// may go anywhere else.
PostAnswer ClassifyPostAnswer(std::string_view page, std::string_view postUrl);

// The readable text of an HTML fragment: tags removed (line breaks for <br>, paragraphs, rows and
// other blocks), scripts, styles and comments dropped, character references decoded, blanks
// collapsed, each line trimmed, empty lines dropped; lines joined by LF.
std::string PageText(std::string_view html);

// Resolves `reference` (an action or link as written in a page) against the absolute URL `base`:
// an absolute or scheme-relative URL, an absolute path, or a path relative to base's folder with
// "." and ".." segments removed. The fragment is dropped.
std::string ResolveUrl(std::string_view base, std::string_view reference);

}  // namespace velkor
