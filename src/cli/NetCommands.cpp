#include <cstdio>
#include <string>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "cli/CliCommand.h"
#include "cli/FavoriteBoardArgs.h"
#include "net/Fetch.h"
#include "net/FetchContext.h"

namespace velkor::cli {
namespace {

int RunGet(CliArgs& args);
int RunResume(CliArgs& args);

const CliCommand kGet = {"get", "URL [--since LASTMOD] [--gzip] [--out FILE]",
                         "fetch URL whole; print the result code and the Last-Modified text",
                         RunGet};
const CliCommand kResume = {
    "resume", "URL FILE [--since LASTMOD]",
    "bring the stored FILE up to date from URL with a range request; print the result code and "
    "the Last-Modified text",
    RunResume};

// Prints the fetch result and the Last-Modified text; exit 0 unless the result is a failure.
int Finish(const FetchOutcome& result, const std::string& lastModified) {
  const int number = FetchResultNumber(result.Code());
  PrintLine(std::to_string(number));
  PrintSjisLine(lastModified);
  if (number >= 0) return kExitOk;
  return Failure("the fetch failed with result " + std::to_string(number));
}

int RunGet(CliArgs& args) {
  auto since = args.TakeOption("--since");
  bool gzip = args.TakeFlag("--gzip");
  auto out = args.TakeOption("--out");
  if (!CheckArgs(args, kGet, 1, 1)) return kExitUsage;
  LoadConfiguration();  // FetchTimeLimit and the trace setting apply as for every download
  std::string lastModified = since ? Utf8ToSjisLossy(*since) : std::string();
  std::string body;
  FetchContext context;
  HttpSession session;
  session.SetStatusHandler(&context, StandardStatusHandler);
  FetchOutcome result = FetchFull(session, args.Positionals()[0], body, lastModified, gzip);
  if (result.IsOk() && out && !ReplaceFile(*out, body)) return Failure("cannot write " + *out);
  return Finish(result, lastModified);
}

int RunResume(CliArgs& args) {
  auto since = args.TakeOption("--since");
  if (!CheckArgs(args, kResume, 2, 2)) return kExitUsage;
  LoadConfiguration();
  const std::string& file = args.Positionals()[1];
  std::optional<std::string> log = ReadWholeFile(file);
  if (!log) return Failure("cannot read " + file);
  std::string lastModified = since ? Utf8ToSjisLossy(*since) : std::string();
  FetchContext context;
  HttpSession session;
  session.SetStatusHandler(&context, StandardStatusHandler);
  FetchOutcome result = FetchDifferential(session, args.Positionals()[0], *log, lastModified);
  if (result.IsOk() && !ReplaceFile(file, *log)) return Failure("cannot write " + file);
  return Finish(result, lastModified);
}

const CliCommandRegistrar kRegisterGet(kGet);
const CliCommandRegistrar kRegisterResume(kResume);

}  // namespace
}  // namespace velkor::cli
