#include <span>
#include <string>

#include "cli/CliCommand.h"
#include "threads/DatRenderer.h"
#include "threads/PosterIds.h"
#include "threads/ReplyAnswers.h"
#include "threads/ReplyList.h"

namespace velkor::cli {
namespace {

int RunAnswers(CliArgs& args);
int RunIds(CliArgs& args);

const CliCommand kAnswers = {
    "answers", "LOG",
    "print each reply that others answer: its number, TAB, the answering numbers joined by \",\"",
    RunAnswers};
const CliCommand kIds = {
    "ids", "LOG",
    "print each ID in order of its first post: the ID, TAB, its post count, TAB, its reply numbers",
    RunIds};

std::string JoinNumbers(std::span<const int> numbers) {
  std::string text;
  for (int k : numbers) {
    if (!text.empty()) text += ',';
    text += std::to_string(k);
  }
  return text;
}

// Loads the log named by the one positional; false after reporting the failure in `exitCode`.
bool LoadLog(CliArgs& args, const CliCommand& command, ReplyList& replies, int& exitCode) {
  if (!CheckArgs(args, command, 1, 1)) {
    exitCode = kExitUsage;
    return false;
  }
  const std::string& log = args.Positionals()[0];
  if (!LoadReplies(replies, log)) {
    exitCode = Failure("cannot read " + log);
    return false;
  }
  return true;
}

int RunAnswers(CliArgs& args) {
  ReplyList replies;
  int exitCode = kExitOk;
  if (!LoadLog(args, kAnswers, replies, exitCode)) return exitCode;
  const ReplyAnswers answers(replies);
  for (int k = 1; k <= answers.Count(); ++k) {
    if (answers.AnswersTo(k).empty()) continue;
    PrintLine(std::to_string(k) + "\t" + JoinNumbers(answers.AnswersTo(k)));
  }
  return kExitOk;
}

int RunIds(CliArgs& args) {
  ReplyList replies;
  int exitCode = kExitOk;
  if (!LoadLog(args, kIds, replies, exitCode)) return exitCode;
  const PosterIds ids(replies);
  for (const PosterIds::Poster& poster : ids.Posters()) {
    PrintSjisLine(poster.id + "\t" + std::to_string(poster.replies.size()) + "\t" +
                  JoinNumbers(poster.replies));
  }
  return kExitOk;
}

const CliCommandRegistrar kRegisterAnswers(kAnswers);
const CliCommandRegistrar kRegisterIds(kIds);

}  // namespace
}  // namespace velkor::cli
