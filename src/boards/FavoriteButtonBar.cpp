#include "boards/FavoriteButtonBar.h"

#include <algorithm>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"

namespace velkor {
namespace {

const std::string& CategoryMark() {
  static const std::string mark = Sjis("▽");
  return mark;
}

const std::string& FixedMark() {
  static const std::string mark = Sjis("▼");
  return mark;
}

}  // namespace

const std::string& FavoriteButtonBar::FixedCaption() {
  static const std::string caption = Sjis("▼お気に入り");
  return caption;
}

std::string FavoriteButtonBar::CategoryCaption(std::string_view category) {
  return CategoryMark() + std::string(category);
}

FavoriteButtonBar::ButtonKind FavoriteButtonBar::Classify(std::string_view caption,
                                                          std::string& category) {
  category.clear();
  if (caption.starts_with(FixedMark())) return ButtonKind::kFixed;
  if (caption.starts_with(CategoryMark())) {
    category = std::string(caption.substr(CategoryMark().size()));
    return ButtonKind::kCategory;
  }
  return ButtonKind::kBoard;
}

void FavoriteButtonBar::Load(const std::string& path) {
  if (loaded_) return;
  loaded_ = true;
  path_ = path;
  if (auto text = ReadWholeFile(path)) {
    for (std::string_view line : SplitLines(*text)) {
      if (!line.empty()) captions_.emplace_back(line);
    }
  }
  Changed();
}

bool FavoriteButtonBar::AddButton(std::string_view caption) {
  if (!loaded_ || caption.empty() || caption.find_first_of("\r\n") != std::string_view::npos) {
    return false;
  }
  bool known = std::any_of(captions_.begin(), captions_.end(), [&](const std::string& item) {
    return EqualsIgnoreAsciiCase(item, caption);
  });
  if (known) return false;
  captions_.emplace_back(caption);
  Changed();
  Save();
  return true;
}

bool FavoriteButtonBar::RemoveButton(std::string_view caption) {
  if (!loaded_) return false;
  auto found = std::find_if(captions_.begin(), captions_.end(), [&](const std::string& item) {
    return EqualsIgnoreAsciiCase(item, caption);
  });
  if (found == captions_.end()) return false;
  captions_.erase(found);
  Changed();
  Save();
  return true;
}

bool FavoriteButtonBar::FindBoardButtonTarget(const BoardCatalog& favorites,
                                              std::string_view caption, std::string& category,
                                              std::string& name) {
  category.clear();
  name.clear();
  for (const BoardTreeCategory& node : favorites.Tree()) {
    if (std::find(node.boards.begin(), node.boards.end(), caption) != node.boards.end()) {
      category = node.label;
      name = std::string(caption);
      return true;
    }
  }
  return false;
}

bool FavoriteButtonBar::Save() const {
  std::string text;
  for (const std::string& caption : captions_) {
    text += caption;
    text += "\r\n";
  }
  return ReplaceFile(path_, text);
}

void FavoriteButtonBar::Changed() const {
  if (observer_ != nullptr) observer_->ButtonsChanged(*this);
}

FavoriteButtonBar& FavoriteButtons() {
  static FavoriteButtonBar bar;
  return bar;
}

}  // namespace velkor
