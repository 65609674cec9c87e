#pragma once

// The captions of the favourite-button bar and their file ini/favbrd.lst. The bar widget binds to
// this: it shows the fixed button FixedCaption() followed by one button per caption.

#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace velkor {

class BoardCatalog;
class FavoriteButtonBar;

// Codes of AddButton and RemoveButton.
enum class ButtonCode {
  kOk,
  kNotLoaded,  // the bar is not loaded
  kRefused,    // AddButton: an empty caption, one holding a line break, or one pinned already
  kNotFound,   // RemoveButton: no such caption
  kNotWritten,  // favbrd.lst could not be written ("エラー:保存できません: " + path); the captions
                // are as they were
};
using ButtonResult = Result<ButtonCode>;

// Told when the captions change, so that a bar widget can lay its buttons out again.
class FavoriteButtonBarObserver {
 public:
  virtual ~FavoriteButtonBarObserver() = default;
  virtual void ButtonsChanged(const FavoriteButtonBar& bar) = 0;
};

// The pinned buttons. favbrd.lst holds one caption per line (CP932, CR LF), in button order: a
// board button's caption is the board's name, a category button's is "▽" + the category name.
class FavoriteButtonBar {
 public:
  enum class ButtonKind { kFixed, kCategory, kBoard };

  // "▼お気に入り", the caption of the fixed first button (CP932).
  static const std::string& FixedCaption();
  // "▽" + category (CP932).
  static std::string CategoryCaption(std::string_view category);
  // What a button with this caption stands for: the fixed button (caption starting with "▼"), a
  // category button (starting with "▽"; `category` receives the rest) or a board button.
  static ButtonKind Classify(std::string_view caption, std::string& category);

  // Once only (a second call does nothing): binds the file and reads its captions. A missing or
  // unreadable file gives no captions; empty lines are skipped. The observer is told
  // ButtonsChanged.
  void Load(const std::string& path);
  bool IsLoaded() const { return loaded_; }
  const std::string& Path() const { return path_; }
  void SetObserver(FavoriteButtonBarObserver* observer) { observer_ = observer; }

  // The pinned captions, in button order (the fixed button not included).
  const std::vector<std::string>& Captions() const { return captions_; }
  // Buttons on the bar, the fixed one included.
  std::size_t ButtonCount() const { return captions_.size() + 1; }

  // Appends a button and saves the file. kRefused, changing nothing, when the caption is empty or
  // holds a line break, or the captions already hold it ignoring ASCII case.
  ButtonResult AddButton(std::string_view caption);
  // Removes the first caption equal to `caption` ignoring ASCII case and saves the file; the
  // buttons after it move up. kNotFound, changing nothing, when there is none.
  ButtonResult RemoveButton(std::string_view caption);

  // The favourite a board button opens: the first board node of the favourites tree (categories in
  // tree order) labelled exactly `caption`. False (outputs emptied) when there is none.
  static bool FindBoardButtonTarget(const BoardCatalog& favorites, std::string_view caption,
                                    std::string& category, std::string& name);

 private:
  // Rewrites the file crash-safely from `captions`; then takes them, or leaves the captions as they
  // were and returns kNotWritten.
  ButtonResult SaveAs(std::vector<std::string> captions);
  void Changed() const;

  bool loaded_ = false;
  std::string path_;
  std::vector<std::string> captions_;
  FavoriteButtonBarObserver* observer_ = nullptr;
};

// The process-wide button bar. Built empty; the caller loads it from IniDir() + "/favbrd.lst".
FavoriteButtonBar& FavoriteButtons();

}  // namespace velkor
