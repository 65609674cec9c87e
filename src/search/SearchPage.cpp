#include "search/SearchPage.h"

#include "app/HtmlPage.h"
#include "app/UrlPaths.h"
#include "base/Sjis.h"

namespace velkor {

const std::string& SearchResultTitle() {
  static const std::string title = Sjis("検索結果");
  return title;
}

std::string SearchHeading(std::string_view pattern, bool logs) {
  static const std::string logTail = Sjis(" を含むログ<br>");
  static const std::string titleTail = Sjis(" を含むタイトル<br>");
  std::string heading = "\"";
  heading += HtmlText(pattern);
  heading += "\"";
  heading += logs ? logTail : titleTail;
  return heading;
}

std::string BoardBlock(std::string_view boardName, std::string_view entries) {
  if (entries.empty()) return {};
  std::string block = "<dl><dt><strong>";
  block += HtmlText(boardName);
  block += "</strong>";
  block += entries;
  block += "</dl>";
  return block;
}

namespace {

std::string Entry(std::string_view linkBase, std::string_view datName, std::string_view lineText,
                  std::string_view title) {
  std::string link(linkBase);
  link += ThreadNumber(datName);
  link += "/";
  link += lineText;
  std::string entry = "<dd><a href=\"";
  entry += HtmlText(link);
  entry += "\">";
  entry += HtmlText(title);
  entry += "</a><br>";
  return entry;
}

}  // namespace

std::string TitleEntry(std::string_view linkBase, std::string_view datName,
                       std::string_view title) {
  return Entry(linkBase, datName, {}, title);
}

std::string LogEntry(std::string_view linkBase, std::string_view datName, int line,
                     std::string_view title) {
  return Entry(linkBase, datName, std::to_string(line), title);
}

std::string_view ThreadNumber(std::string_view datName) {
  const std::size_t dot = datName.rfind('.');
  return dot == std::string_view::npos ? datName : datName.substr(0, dot);
}

std::string ThreadLinkBase(std::string_view boardUrl) {
  return ThreadUrl(boardUrl, "", false);
}

}  // namespace velkor
