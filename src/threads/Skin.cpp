#include "threads/Skin.h"

#include <string_view>

#include "app/DataDir.h"
#include "app/HtmlPage.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

const std::string& DefaultHeader() {
  static const std::string text =
      std::string(kHtmlPageHead) +
      Sjis("<a href=\"#all\">すべて表示</a> <a href=\"#midoku\">未読へ</a><dl>");
  return text;
}

const std::string& DefaultRes() {
  static const std::string text =
      "<dt><NUMBER/> <font color=green><NAME/></b></font> [<font color=blue><MAIL/></b></font>] "
      "<DATE/><dd><MESSAGE/><br><br>";
  return text;
}

const std::string& DefaultBookmark() {
  static const std::string text = Sjis("<hr><font color=red>ここまで読んだ</font><hr>");
  return text;
}

const std::string& DefaultFooter() {
  static const std::string text =
      "</dl><hr><br><br><br><br><br><br><br><br><br><br><br><br></body></html>";
  return text;
}

// The default templates with their colours swapped for ones that read on a dark page.
Skin MakeDarkSkin() {
  constexpr std::string_view kBody = "</head><body>";
  Skin skin;
  skin.header.replace(skin.header.find(kBody), kBody.size(),
                      "<style>body { background: #1e1f22; color: #dcdcdc; }"
                      " a:link { color: #8ab4f8; } a:visited { color: #c49bf5; }</style>"
                      "</head><body>");
  for (std::string* text : {&skin.res, &skin.newRes}) {
    text->replace(text->find("color=green"), 11, "color=#7ccf7c");
    text->replace(text->find("color=blue"), 10, "color=#8ab4f8");
  }
  skin.bookmark.replace(skin.bookmark.find("color=red"), 9, "color=#ff8080");
  return skin;
}

void LoadTemplate(std::string& text, const std::string& path) {
  if (!FileExists(path)) {
    ReplaceFile(path, text + "\r\n");
    return;
  }
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) return;
  std::string joined;
  joined.reserve(bytes->size() + 2);
  for (std::string_view line : SplitLines(*bytes)) {
    joined.append(line);
    joined.append("\r\n");
  }
  text = std::move(joined);
}

}  // namespace

Skin::Skin()
    : header(DefaultHeader()),
      res(DefaultRes()),
      newRes(DefaultRes()),
      bookmark(DefaultBookmark()),
      footer(DefaultFooter()) {}

Skin DarkSkin() {
  static const Skin skin = MakeDarkSkin();
  return skin;
}

Skin& AppSkin() {
  static Skin skin;
  return skin;
}

std::string SkinDir() {
  return AppDir() + "/skin";
}

void LoadSkin(Skin& skin, const std::string& folder) {
  MakeDirectories(folder);
  LoadTemplate(skin.header, folder + "/Header.html");
  LoadTemplate(skin.res, folder + "/Res.html");
  LoadTemplate(skin.newRes, folder + "/NewRes.html");
  LoadTemplate(skin.bookmark, folder + "/Bookmark.html");
  LoadTemplate(skin.footer, folder + "/Footer.html");
}

std::string DarkSkinDir() {
  return AppDir() + "/skin-dark";
}

void LoadSkin() {
  LoadSkin(AppSkin(), SkinDir());
}

void LoadDarkSkin() {
  AppSkin() = DarkSkin();
  LoadSkin(AppSkin(), DarkSkinDir());
}

}  // namespace velkor
