// The board menu scan: any page may be imported; every board it yields must be a board of the
// service (its host ends with one of the service's domains on a label boundary), must come from a
// link of the page, must have its log folder strictly below its host's folder inside the log
// directory (a folder whose name reads back as the same host), and the list written must read back
// as the same boards.

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "app/DataDir.h"
#include "app/Deployment.h"
#include "app/UrlPaths.h"
#include "boards/BoardCatalog.h"
#include "subjects/BoardDir.h"

namespace {

using velkor::fuzz::Fail;

// Host names compare without regard to letter case.
bool OnDomain(std::string host, std::string_view domain) {
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (host.size() < domain.size() ||
      host.compare(host.size() - domain.size(), domain.size(), domain.data(), domain.size()) != 0) {
    return false;
  }
  return host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
}

// True when the page holds the URL as a link target the scan reads: "<A " five bytes before it
// and ">" right after it.
bool IsLinkOfPage(std::string_view page, const std::string& url) {
  std::string target = url + ">";
  for (std::size_t at = page.find(target); at != std::string_view::npos;
       at = page.find(target, at + 1)) {
    if (at >= 8 && page.substr(at - 8, 3) == "<A ") return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 64 * 1024) return 0;
  fuzz::ScratchDataDir();
  std::string_view page = fuzz::AsText(data, size);
  const std::string path = IniDir() + "/board.ini";
  // Every input starts from an empty list: a page that is no menu leaves the list as it was.
  std::error_code ec;
  std::filesystem::remove(path, ec);
  {
    BoardCatalog catalog;
    catalog.Open(path);
    // A page without boards is no menu and leaves the (empty) list alone; that is no failure.
    if (catalog.ImportMenu(page).Code() == CatalogCode::kNotWritten) {
      Fail("ImportMenu failed to write board.ini");
    }
    const std::vector<BoardEntry> boards = catalog.AllBoards();
    for (const BoardEntry& board : boards) {
      std::string host;
      std::string urlPath;
      FUZZ_CHECK(SplitUrl(board.url, host, urlPath), "a stored board URL does not split",
                 board.url);
      FUZZ_CHECK(OnDomain(host, kPrimaryDomain) || OnDomain(host, kSisterDomain),
                 "a board outside the service's domains was accepted", board.url);
      FUZZ_CHECK(IsLinkOfPage(page, board.url), "a stored board URL is no link of the page",
                 board.name + "=" + board.url);
      FUZZ_CHECK(!fuzz::HasControlByte(host) && !fuzz::HasControlByte(urlPath),
                 "a board URL with control bytes was accepted", board.url);
      // By URL: a menu may name two boards of one category alike, and a lookup by name finds the
      // first.
      const std::string logDir = UrlToLogDir(board.url);
      FUZZ_CHECK(!logDir.empty(), "an accepted board has no log folder", board.url);
      const std::string hostDir = LogDir() + "/" + host;
      FUZZ_CHECK(fuzz::PathInside(LogDir() + logDir, hostDir) &&
                     !fuzz::PathInside(hostDir, LogDir() + logDir),
                 "a board's log folder is not strictly below its host's folder", board.url);
      // A list rebuilds its board's URL from the folder names: the host must stay the same.
      std::string folderHost;
      std::string folderPath;
      FUZZ_CHECK(SplitUrl("http://" + host + "/x/", folderHost, folderPath) && folderHost == host,
                 "a board's host folder names another host", board.url);
      const auto boardDir = SafeBoardDir(board.url);
      FUZZ_CHECK(boardDir && fuzz::PathInside(*boardDir, hostDir),
                 "an accepted board has no safe board folder", board.url);
    }
    BoardCatalog reread;
    reread.Open(path);
    const std::vector<BoardEntry> again = reread.AllBoards();
    FUZZ_CHECK(again.size() == boards.size(), "board.ini reads back with another board count", "");
    for (std::size_t i = 0; i < boards.size(); ++i) {
      FUZZ_CHECK(again[i].category == boards[i].category && again[i].name == boards[i].name &&
                     again[i].url == boards[i].url,
                 "a board reads back differently from board.ini",
                 boards[i].category + "/" + boards[i].name + "=" + boards[i].url);
    }
  }
  return 0;
}
