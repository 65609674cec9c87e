// URL splitting and path safety. Input: the first line is a URL. Oracles: split parts respect the
// part limit; every folder the program would make for a board (IsSafeBoardUrl, SafeBoardDir) lies
// strictly below its host's folder inside the log directory and holds no control byte; a safe
// name (IsSafePathComponent) stays one level below the log directory; and the board URL a list
// rebuilds from its folder names the same host and folder again (a URL is decoded once, never
// twice).

#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "app/DataDir.h"
#include "app/UrlPaths.h"
#include "boards/BoardCatalog.h"
#include "net/HttpUrl.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 4096) return 0;
  fuzz::ScratchDataDir();
  const std::string_view url = fuzz::SplitHead(fuzz::AsText(data, size)).line;
  const std::string& logDir = LogDir();

  std::string host;
  std::string path;
  if (!SplitUrl(url, host, path)) {
    FUZZ_CHECK(!IsSafeBoardUrl(url) && !SafeBoardDir(url), "an unsplittable URL is a board", url);
    return 0;
  }
  FUZZ_CHECK(host.size() <= kMaxUrlPartLength && path.size() <= kMaxUrlPartLength,
             "a split part exceeds the limit", url);
  FUZZ_CHECK(UrlToLogDir(url).rfind('/', 0) == 0, "a log folder does not start with /", url);
  std::string remainder;
  ThreadUrlToLogPath(url, remainder);

  if (IsSafePathComponent(host)) {
    FUZZ_CHECK(!fuzz::HasControlByte(host), "a name with control bytes counts as safe", host);
    FUZZ_CHECK(fuzz::PathInside(logDir + "/" + host, logDir) &&
                   !fuzz::PathInside(logDir, logDir + "/" + host),
               "a safe name leaves the log folder", host);
  }
  const std::string hostDir = logDir + "/" + host;
  if (IsSafeBoardUrl(url)) {
    const std::string dir = logDir + UrlToLogDir(url);
    FUZZ_CHECK(!fuzz::HasControlByte(host) && !fuzz::HasControlByte(path),
               "a board URL with control bytes counts as safe", url);
    FUZZ_CHECK(fuzz::PathInside(dir, hostDir) && !fuzz::PathInside(hostDir, dir),
               "a safe board URL's folder is not strictly below its host's folder", url);
  }
  const auto boardDir = SafeBoardDir(url);
  if (!boardDir) return 0;
  FUZZ_CHECK(!fuzz::HasControlByte(*boardDir), "a board folder holds control bytes", *boardDir);
  FUZZ_CHECK(fuzz::PathInside(*boardDir, hostDir) && !fuzz::PathInside(hostDir, *boardDir),
             "a board folder is not strictly below its host's folder", *boardDir);

  // A one-segment board: the list rebuilds its URL from the folder names.
  const std::string segments = boardDir->substr(hostDir.size());
  if (segments.find('/', 1) + 1 == segments.size()) {
    std::error_code ec;
    {
      SubjectList list;
      list.Bind(*boardDir + "subject.ini");
      const std::string rebuilt = list.BoardUrlFromDir();
      // A request goes where ParseHttpUrl says; the folder comes back through SplitUrl, which
      // refuses a URL whose parts grew past its limit by the escapes (then nothing is fetched).
      HttpUrl request;
      FUZZ_CHECK(ParseHttpUrl(rebuilt, request) != HttpUrlStatus::kOk || request.host == host,
                 "the URL rebuilt from a board folder names another host", rebuilt);
      std::string rebuiltHost;
      std::string rebuiltPath;
      if (SplitUrl(rebuilt, rebuiltHost, rebuiltPath)) {
        FUZZ_CHECK(rebuiltHost == host, "the URL rebuilt from a board folder names another host",
                   rebuilt);
        const auto again = SafeBoardDir(rebuilt);
        FUZZ_CHECK(again && *again == *boardDir,
                   "the URL rebuilt from a board folder names another folder", rebuilt);
      }
    }
    std::filesystem::remove_all(hostDir, ec);
  }
  return 0;
}
