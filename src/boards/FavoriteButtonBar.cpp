#include "boards/FavoriteButtonBar.h"

#include <algorithm>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "boards/BoardCatalog.h"

namespace velkor {
namespace {

ButtonResult NotLoaded() {
  static const std::string reason = Sjis("エラー:ボタンの一覧が読み込まれていません。");
  return {ButtonCode::kNotLoaded, reason};
}

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

ButtonResult FavoriteButtonBar::AddButton(std::string_view caption) {
  static const std::string refused = Sjis("エラー:そのボタンは登録できません。");
  if (!loaded_) return NotLoaded();
  if (caption.empty() || caption.find_first_of("\r\n") != std::string_view::npos) {
    return {ButtonCode::kRefused, refused};
  }
  bool known = std::any_of(captions_.begin(), captions_.end(), [&](const std::string& item) {
    return EqualsIgnoreAsciiCase(item, caption);
  });
  if (known) return {ButtonCode::kRefused, refused};
  std::vector<std::string> captions = captions_;
  captions.emplace_back(caption);
  return SaveAs(std::move(captions));
}

ButtonResult FavoriteButtonBar::RemoveButton(std::string_view caption) {
  if (!loaded_) return NotLoaded();
  auto found = std::find_if(captions_.begin(), captions_.end(), [&](const std::string& item) {
    return EqualsIgnoreAsciiCase(item, caption);
  });
  if (found == captions_.end()) {
    static const std::string notFound = Sjis("エラー:そのボタンはありません。");
    return {ButtonCode::kNotFound, notFound};
  }
  std::vector<std::string> captions = captions_;
  captions.erase(captions.begin() + (found - captions_.begin()));
  return SaveAs(std::move(captions));
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

ButtonResult FavoriteButtonBar::SaveAs(std::vector<std::string> captions) {
  std::string text;
  for (const std::string& caption : captions) {
    text += caption;
    text += "\r\n";
  }
  if (!ReplaceFile(path_, text)) {
    static const std::string cannotSave = Sjis("エラー:保存できません: ");
    return {ButtonCode::kNotWritten, cannotSave + path_};
  }
  captions_ = std::move(captions);
  Changed();
  return {};
}

void FavoriteButtonBar::Changed() const {
  if (observer_ != nullptr) observer_->ButtonsChanged(*this);
}

FavoriteButtonBar& FavoriteButtons() {
  static FavoriteButtonBar bar;
  return bar;
}

}  // namespace velkor
