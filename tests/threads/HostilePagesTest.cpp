// Every page the program builds from network text, fed hostile titles, names, mails, dates and
// messages: nothing of them may reach the page as markup beyond what the page builder keeps. The
// oracle compares the page's markup (each tag's name and attribute names, in order; the tags the
// boards write themselves, which a builder keeps on purpose, left out) with the page built from
// the same text defused ("<" ">" and quotes replaced), so a row needs only a builder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "app/DataDir.h"
#include "search/SearchPage.h"
#include "support/TempDataDir.h"
#include "sweeper/LogSweeper.h"
#include "threads/DatRenderer.h"
#include "threads/NgFilter.h"
#include "threads/NgPage.h"
#include "threads/PopupAnchors.h"
#include "threads/PopupText.h"
#include "threads/Skin.h"

namespace velkor {
namespace {

// Texts a hostile board, mirror or poster may put into a field.
const char* const kHostile[] = {
    "<script>alert(1)</script>",
    "<SCRIPT SRC=//evil.example/a.js></SCRIPT>",
    "<img src=x onerror=alert(1)>",
    "<IMG SRC=\"javascript:alert(1)\">",
    "<iframe src=\"http://evil.example/\"></iframe>",
    "<a href=\"javascript:alert(1)\">x</a>",
    "<A HREF=\"JAVASCRIPT:alert(1)\">x</A>",
    "<A NAME=\"midoku\">",
    "<a id=a1>",
    "\" onmouseover=\"alert(1)",
    "' name='midoku",
    "<svg/onload=alert(1)>",
    "<meta http-equiv=\"refresh\" content=\"0;url=http://evil.example/\">",
    "<base href=\"http://evil.example/\">",
    "<style>body{background:url(http://evil.example/)}</style>",
    "<form action=http://evil.example/><input name=x></form>",
    "<!--",
    "<b onclick=alert(1)>x</b>",
    "<font color=red onmouseover=alert(1)>x</font>",
    "<font color=\"red\"style=\"x\">",
    "<object data=x></object><embed src=x><link rel=stylesheet href=x>",
};

// Tags a field may hold on purpose (the boards' own), by signature.
bool IsKeptTag(const std::string& tag) {
  for (const char* kept : {"br:", "b:", "/b:", "hr:", "i:", "/i:", "/font:", "font:", "font:color",
                           "font:size", "font:color,size", "font:size,color"}) {
    if (tag == kept) return true;
  }
  return false;
}

// The text with its markup characters replaced: what the hostile text would be if it meant no
// harm. URLs in it stay URLs.
std::string Defused(std::string text) {
  for (char& c : text) {
    if (c == '<') c = '(';
    if (c == '>') c = ')';
    if (c == '"') c = '\'';
  }
  return text;
}

// The markup of a page: per tag, its lower-case name and attribute names ("a:href,name"), in page
// order. Quoted attribute values are read whole, as a browser reads them.
std::vector<std::string> Markup(const std::string& page) {
  std::vector<std::string> tags;
  const auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  std::size_t i = 0;
  while ((i = page.find('<', i)) != std::string::npos) {
    ++i;
    if (i >= page.size()) break;
    const char first = page[i];
    if (!std::isalpha(static_cast<unsigned char>(first)) && first != '/' && first != '!') continue;
    std::string tag;
    while (i < page.size() && page[i] != '>' && page[i] != ' ' && (page[i] != '/' || tag.empty())) {
      tag += lower(page[i++]);
    }
    tag += ':';
    std::vector<std::string> attributes;
    while (i < page.size() && page[i] != '>') {
      if (page[i] == ' ' || page[i] == '/' || page[i] == '\t') {
        ++i;
        continue;
      }
      std::string name;
      while (i < page.size() && page[i] != '=' && page[i] != ' ' && page[i] != '>' &&
             page[i] != '/') {
        name += lower(page[i++]);
      }
      if (i < page.size() && page[i] == '=') {
        ++i;
        if (i < page.size() && (page[i] == '"' || page[i] == '\'')) {
          const std::size_t close = page.find(page[i], i + 1);
          i = close == std::string::npos ? page.size() : close + 1;
        } else {
          while (i < page.size() && page[i] != ' ' && page[i] != '>') ++i;
        }
      }
      if (!name.empty()) attributes.push_back(name);
    }
    for (std::size_t a = 0; a < attributes.size(); ++a) tag += (a ? "," : "") + attributes[a];
    if (!IsKeptTag(tag)) tags.push_back(tag);
  }
  return tags;
}

// A skin that shows every field and the title, so that each reaches the page.
Skin FullSkin() {
  Skin skin;
  skin.header = "<html><head><title><&TITLE></title></head><body><h1><&TITLE></h1><dl>";
  skin.res = "<dt><NUMBER/> <MAILNAME/> <NAME/> [<MAIL/>] <DATE/><dd><MESSAGE/><br><br>";
  skin.newRes = skin.res;
  return skin;
}

// A log of three replies with `text` in field `field` of reply 2 (0 name, 1 mail, 2 date,
// 3 message) and a reply anchor and a URL in reply 3.
std::string Log(int field, const std::string& text) {
  std::string fields[4] = {"n", "m", "d", "hello"};
  fields[field] = "x " + text + " y";
  return "a<>b<>c<>first<>title\n" + fields[0] + "<>" + fields[1] + "<>" + fields[2] + "<>" +
         fields[3] + "<>\nq<><>e<>&gt;&gt;2 http://example.com/<>\n";
}

std::string ThreadPage(int field, const std::string& text) {
  ReplyList replies;
  LoadRepliesFromText(replies, Log(field, text));
  return RenderPage(FullSkin(), replies, "t", 3, 50);
}

// Each row: where the hostile text goes and how the page is built. `html` false for the pop-ups,
// which the window shows as plain text: there only the reply anchors it finds are active.
struct PageRow {
  const char* name;
  std::string (*build)(const std::string& text);
  bool html;
};

void PrintTo(const PageRow& row, std::ostream* os) {
  *os << row.name;
}

const PageRow kPages[] = {
    {"ThreadPageName", [](const std::string& t) { return ThreadPage(0, t); }, true},
    {"ThreadPageMail", [](const std::string& t) { return ThreadPage(1, t); }, true},
    {"ThreadPageDate", [](const std::string& t) { return ThreadPage(2, t); }, true},
    {"ThreadPageMessage", [](const std::string& t) { return ThreadPage(3, t); }, true},
    {"ThreadPageTitle",
     [](const std::string& t) {
       ReplyList replies;
       LoadRepliesFromText(replies, Log(3, "m"));
       return RenderPage(FullSkin(), replies, "x " + t + " y", 2, 50);
     },
     true},
    {"FilteredThreadPage",
     [](const std::string& t) {
       ReplyList replies;
       LoadRepliesFromText(replies, Log(3, t) + Log(0, t));
       const NgFilter filter({NgRule{NgKind::kWord, "first", "", false, false},
                              NgRule{NgKind::kName, "q", "", true, false}},
                             "");
       return RenderFilteredPage(FullSkin(), filter.Apply(replies), "x " + t, 3, 50);
     },
     true},
    {"PopupInPage",
     [](const std::string& t) {
       ReplyList replies;
       LoadRepliesFromText(replies, Log(3, t) + Log(0, t));
       return BuildPopupText(replies, "1-6", 100);
     },
     false},
    {"SearchResults",
     [](const std::string& t) {
       const std::string base = ThreadLinkBase("https://h.5ch.io/b/");
       return SearchHeading(t, true) +
              BoardBlock(t, TitleEntry(base, "1.dat", t) + LogEntry(base, "2.dat", 3, t));
     },
     true},
    {"SweepReport",
     [](const std::string& t) {
       // A board folder named by a hostile menu (a folder name holds no "/").
       std::string name = t;
       std::replace(name.begin(), name.end(), '/', '_');
       test::TempDataDir dir;
       dir.WriteFile("log/h.5ch.io/" + name + "/1.dat", "x\n");
       return LogSweeper(LogDir(), {}, [](const std::string&) { return true; }).SweepLogs().page;
     },
     true},
    {"PopupFromLog",
     [](const std::string& t) {
       return BuildPopupTextFromLogText(Log(2, t) + Log(1, t), "1-6", 100);
     },
     false},
};

class HostilePagesTest : public testing::TestWithParam<PageRow> {};

TEST_P(HostilePagesTest, HostileTextAddsNoMarkup) {
  const PageRow& row = GetParam();
  for (const char* hostile : kHostile) {
    const std::string page = row.build(hostile);
    const std::string harmless = row.build(Defused(hostile));
    if (row.html) {
      EXPECT_EQ(Markup(page), Markup(harmless)) << hostile << "\n" << page;
    } else {
      EXPECT_EQ(FindPopupAnchors(page).size(), FindPopupAnchors(harmless).size()) << hostile;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, HostilePagesTest, testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<PageRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace velkor
