#pragma once

// The pieces of the search result page (CP932). The search word, board names, titles and links go
// in through HtmlText (app/HtmlPage.h): a title keeps "<" and "&" as plain characters
// (subjects/TitleText.h), so it is never markup on the page.

#include <string>
#include <string_view>

namespace velkor {

// The title of the tab the page is shown in: "検索結果".
const std::string& SearchResultTitle();

// '"' + HtmlText(pattern) + '"' + " を含むログ<br>" (log searches) or " を含むタイトル<br>" (title
// searches).
std::string SearchHeading(std::string_view pattern, bool logs);

// "<dl><dt><strong>" + HtmlText(board name) + "</strong>" + entries + "</dl>"; empty when there
// are no entries.
std::string BoardBlock(std::string_view boardName, std::string_view entries);

// A title hit: "<dd><a href="" + link base + thread number + "/"">" + title + "</a><br>", link and
// title through HtmlText.
std::string TitleEntry(std::string_view linkBase, std::string_view datName, std::string_view title);
// A log hit on line `line`: as TitleEntry with the line number after the final "/".
std::string LogEntry(std::string_view linkBase, std::string_view datName, int line,
                     std::string_view title);

// The thread number of a dat name: the name without its last extension ("123.dat" -> "123").
std::string_view ThreadNumber(std::string_view datName);

// The thread link base of a board URL scheme://host/board/: "scheme://host/test/read.cgi/board/"
// (ThreadUrl with an empty key). A URL without its final "/" gets the same base.
std::string ThreadLinkBase(std::string_view boardUrl);

}  // namespace velkor
