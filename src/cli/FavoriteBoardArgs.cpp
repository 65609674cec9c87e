#include "cli/FavoriteBoardArgs.h"

#include "app/AppConfig.h"
#include "app/DataDir.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"
#include "cli/CliCommand.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"

namespace velkor::cli {

void LoadConfiguration() {
  Config().Open(IniDir() + "/config.ini");
  DisplaySettings display;
  Config().LoadSettings(AppSettings(), display);
}

int BindFavoriteBoard(const std::string& category, const std::string& name, SubjectList& list) {
  LoadConfiguration();
  OpenCatalogs();
  const auto sjisCategory = Utf8ToSjis(category);
  const auto sjisName = Utf8ToSjis(name);
  const std::string url =
      sjisCategory && sjisName ? Favorites().BoardUrl(*sjisCategory, *sjisName) : "";
  if (url.empty()) return Failure("no favourite board " + category + " / " + name);
  const auto iniPath = SubjectIniPathOf(url);
  if (!iniPath) {
    return Failure("the board URL would leave the log directory: " + SjisToUtf8Lossy(url));
  }
  if (!list.Bind(*iniPath, url)) {
    return Failure("cannot create the board directory of " + SjisToUtf8Lossy(url));
  }
  return kExitOk;
}

void PrintThreadRows(const SubjectList& list) {
  for (std::size_t row = 0; row < list.RowCount(); ++row) {
    const auto texts = list.CellTexts(row);
    PrintFields(std::vector<std::string>(texts.begin() + 1, texts.begin() + kSubjectColumnCount));
  }
}

}  // namespace velkor::cli
