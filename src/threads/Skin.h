#pragma once

#include <string>

namespace velkor {

// The five page fragments thread pages are built from. A default-constructed Skin holds the
// built-in defaults; users restyle pages by editing the files of the "skin" folder of the data
// directory.
class Skin {
 public:
  Skin();

  std::string header;    // "Header.html": start of every page; "<&TITLE>" is the thread title
  std::string res;       // "Res.html": each reply before the unread marker
  std::string newRes;    // "NewRes.html": each reply after the unread marker
  std::string bookmark;  // "Bookmark.html": the unread marker
  std::string footer;    // "Footer.html": end of every page
};

// The dark set's defaults, for a desktop with a dark palette: the default templates on a dark
// page (a style sheet in the header) with the name, mail and marker colours lightened to read
// there.
Skin DarkSkin();

// The process-wide skin, built with the defaults on first use and filled by LoadSkin().
Skin& AppSkin();

// The skin folder of the data directory: AppDir() + "/skin".
std::string SkinDir();

// Fills `skin` from `folder`: creates the folder when missing (failure ignored); for each template
// file that exists, the template becomes its lines joined with CR LF after each (an empty file
// gives an empty template); for each missing file, the template's current text plus CR LF is
// written there (failure ignored) and the template keeps its text.
void LoadSkin(Skin& skin, const std::string& folder);

// The dark set's folder: AppDir() + "/skin-dark".
std::string DarkSkinDir();

// LoadSkin(AppSkin(), SkinDir()): run once at start-up, after the data directory is fixed.
void LoadSkin();

// Instead of LoadSkin() on a dark desktop: AppSkin() becomes DarkSkin(), then
// LoadSkin(AppSkin(), DarkSkinDir()). The light set's folder is left alone.
void LoadDarkSkin();

}  // namespace velkor
