#include <cstdio>
#include <optional>
#include <string>
#include <tuple>

#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "cli/CliCommand.h"
#include "cli/FavoriteBoardArgs.h"
#include "post/OwnPosts.h"
#include "post/PostFlow.h"
#include "post/PostForm.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"
#include "threads/DatRenderer.h"
#include "threads/ReplyAnswers.h"
#include "threads/ReplyList.h"

namespace velkor::cli {
namespace {

// Exit codes of post and new-thread besides 0 (posted), 1 (refused, not sent) and 2 (usage).
constexpr int kExitConfirm = 3;  // a confirmation page waits; nothing was posted
constexpr int kExitUnknown = 4;  // the post may have gone through: look before posting again

// How often --accept answers a confirmation within one post (a server that keeps asking is not
// answered for ever).
constexpr int kMaxAcceptances = 2;

int RunPost(CliArgs& args);
int RunNewThread(CliArgs& args);
int RunOwn(CliArgs& args);

const CliCommand kPost = {
    "post",
    "CATEGORY NAME KEY [--name NAME] [--mail MAIL] (--message TEXT | --message-file FILE) "
    "[--accept]",
    "post a reply to a thread of a favourite board; prints posted N (exit 0), confirm (exit 3: "
    "the page is on stderr, --accept answers it), error (exit 1) or unknown (exit 4: it may have "
    "been posted)",
    RunPost};
const CliCommand kNewThread = {
    "new-thread",
    "CATEGORY NAME --subject TITLE [--name NAME] [--mail MAIL] (--message TEXT | --message-file "
    "FILE) [--accept]",
    "start a thread on a favourite board; prints posted KEY, or as post does", RunNewThread};
const CliCommand kOwn = {"own", "CATEGORY NAME KEY [--mark N | --unmark N]",
                         "print each own reply of a thread: its number, TAB, the numbers of the "
                         "replies answering it joined by \",\"; or mark or unmark reply N as own",
                         RunOwn};

// "<key>.dat" from KEY given with or without ".dat"; empty when it is no thread key.
std::string DatNameOf(std::string key) {
  if (!key.ends_with(".dat")) key += ".dat";
  return IsThreadDatName(key) ? key : std::string();
}

// A text from the command line or a file, UTF-8, as the CP932 a post sends; nullopt after printing
// "error" and why.
std::optional<std::string> PostText(const std::string& utf8, const char* what) {
  auto converted = Utf8ToPostText(utf8);
  if (converted.IsOk()) return std::move(converted).Value();
  PrintLine("error");
  Failure(std::string(what) + ": " + SjisToUtf8Lossy(converted.Reason()));
  return std::nullopt;
}

// Prints each note of a result on stderr.
void PrintNotes(const PostResult& result) {
  for (const std::string& note : result.notes) PrintSjisError(note);
}

// Prints a CP932 text on stderr, line by line.
void PrintSjisText(const std::string& sjis) {
  for (std::string_view line : SplitLines(sjis)) {
    std::fprintf(stderr, "%s\n", SjisToUtf8Lossy(line).c_str());
  }
}

// Takes the options shared by post and new-thread into `draft` and binds `list` to the board.
// Returns kExitOk, or the exit code after printing why not.
int TakeDraft(CliArgs& args, const CliCommand& command, std::size_t positionals, PostDraft& draft,
              SubjectList& list, bool& accept) {
  const auto name = args.TakeOption("--name");
  const auto mail = args.TakeOption("--mail");
  const auto message = args.TakeOption("--message");
  const auto messageFile = args.TakeOption("--message-file");
  const auto subject = positionals == 2 ? args.TakeOption("--subject") : std::nullopt;
  accept = args.TakeFlag("--accept");
  if (!CheckArgs(args, command, positionals, positionals)) return kExitUsage;
  if (message.has_value() == messageFile.has_value()) {
    return UsageError(command, "give either --message or --message-file");
  }
  if (positionals == 2 && !subject) return UsageError(command, "--subject is missing");
  std::string text;
  if (message) {
    text = *message;
  } else if (*messageFile == "-") {
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) text.append(buffer, n);
  } else if (auto bytes = ReadWholeFile(*messageFile)) {
    text = std::move(*bytes);
  } else {
    PrintLine("error");
    return Failure("cannot read " + *messageFile);
  }
  if (positionals == 3) {
    draft.key = DatNameOf(args.Positionals()[2]);
    if (draft.key.empty()) return UsageError(command, "KEY is no thread key");
    draft.key.resize(draft.key.size() - 4);
  }
  for (auto [from, to, what] :
       {std::tuple{&name, &draft.name, "--name"}, std::tuple{&mail, &draft.mail, "--mail"},
        std::tuple{&subject, &draft.subject, "--subject"}}) {
    if (!from->has_value()) continue;
    auto converted = PostText(**from, what);
    if (!converted) return kExitFailure;
    *to = std::move(*converted);
  }
  auto converted = PostText(text, "the message");
  if (!converted) return kExitFailure;
  draft.message = std::move(*converted);
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) {
    PrintLine("error");
    return rc;
  }
  draft.boardUrl = list.BoardUrlFromDir();
  return kExitOk;
}

// Posts the draft, answers confirmations when `accept` is set, and prints the outcome.
int RunDraft(PostDraft draft, SubjectList& list, bool accept) {
  const bool newThread = draft.key.empty();
  PostFlow flow(std::move(draft), &list);
  PostResult result = flow.Send();
  for (int accepted = 0;
       accept && result.Code() == PostCode::kConfirm && accepted < kMaxAcceptances; ++accepted) {
    result = flow.Accept();
  }
  switch (result.Code()) {
    case PostCode::kOk:
    case PostCode::kWarning: {
      std::string line = "posted";
      if (newThread && !result.datName.empty()) {
        line += " " + result.datName.substr(0, result.datName.size() - 4);
      } else if (!newThread && result.number > 0) {
        line += " " + std::to_string(result.number);
      }
      PrintLine(line);
      if (result.Code() == PostCode::kWarning) PrintSjisText(result.Reason());
      PrintNotes(result);
      return kExitOk;
    }
    case PostCode::kConfirm:
      PrintLine("confirm");
      PrintSjisText(result.Reason());
      PrintNotes(result);
      return kExitConfirm;
    case PostCode::kMayHaveBeenPosted:
      PrintLine("unknown");
      PrintSjisText(result.Reason());
      PrintNotes(result);
      return kExitUnknown;
    case PostCode::kRefused:
    case PostCode::kLocalRefused:
    case PostCode::kNotSent:
      break;
  }
  PrintLine("error");
  PrintSjisText(result.Reason());
  PrintNotes(result);
  return kExitFailure;
}

int RunPost(CliArgs& args) {
  PostDraft draft;
  SubjectList list;
  bool accept = false;
  if (int rc = TakeDraft(args, kPost, 3, draft, list, accept)) return rc;
  return RunDraft(std::move(draft), list, accept);
}

int RunNewThread(CliArgs& args) {
  PostDraft draft;
  SubjectList list;
  bool accept = false;
  if (int rc = TakeDraft(args, kNewThread, 2, draft, list, accept)) return rc;
  return RunDraft(std::move(draft), list, accept);
}

std::string JoinNumbers(const std::vector<int>& numbers) {
  std::string text;
  for (int k : numbers) text += (text.empty() ? "" : ",") + std::to_string(k);
  return text;
}

int RunOwn(CliArgs& args) {
  const auto mark = args.TakeIntOption("--mark");
  const auto unmark = args.TakeIntOption("--unmark");
  if (!CheckArgs(args, kOwn, 3, 3)) return kExitUsage;
  if (mark && unmark) return UsageError(kOwn, "give --mark or --unmark, not both");
  const std::string datName = DatNameOf(args.Positionals()[2]);
  if (datName.empty()) return UsageError(kOwn, "KEY is no thread key");
  const long long n = mark ? *mark : unmark ? *unmark : 1;
  if (n < 1 || n > kMaxOwnReplyNumber) return UsageError(kOwn, "N is no reply number");
  SubjectList list;
  if (int rc = BindFavoriteBoard(args.Positionals()[0], args.Positionals()[1], list)) return rc;
  if (mark || unmark) {
    Outcome marked = MarkOwnPost(list.Dir(), datName, static_cast<int>(n), mark.has_value());
    if (!marked.IsOk()) {
      PrintSjisError(marked.Reason());
      return kExitFailure;
    }
    return kExitOk;
  }
  auto own = ReadOwnPosts(list.Dir(), datName);
  if (!own.IsOk()) {
    PrintSjisError(own.Reason());
    return kExitFailure;
  }
  ReplyList replies;
  if (FileExists(list.Dir() + datName)) LoadReplies(replies, list.Dir() + datName);
  const ReplyAnswers answers(replies);
  for (const OwnReplyAnswers& reply : AnswersToOwnReplies(answers, own.Value())) {
    PrintLine(std::to_string(reply.number) + "\t" + JoinNumbers(reply.answers));
  }
  return kExitOk;
}

const CliCommandRegistrar kRegisterPost(kPost);
const CliCommandRegistrar kRegisterNewThread(kNewThread);
const CliCommandRegistrar kRegisterOwn(kOwn);

}  // namespace
}  // namespace velkor::cli
