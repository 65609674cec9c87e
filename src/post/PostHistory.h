#pragma once

// The names and mails the user posted with, newest first, for the reply window's lists: at most
// PostHistory::kSize of each, kept in ini/posthistory.ini ("[Name]" and "[Mail]", keys 1, 2, ...;
// UTF-8 as typed, like the drafts). The file is replaced crash-safely on every change.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace velkor {

class PostHistory {
 public:
  static constexpr std::size_t kSize = 20;

  // Reads `path`; a missing or unreadable file is an empty history.
  explicit PostHistory(std::string path);

  const std::vector<std::string>& Names() const { return names_; }
  const std::vector<std::string>& Mails() const { return mails_; }

  // Puts `name` and `mail` first (line breaks as blanks, trimmed; an equal older entry goes; the
  // oldest beyond kSize go; an empty text is not kept) and saves the file. Nothing is written when
  // both lists stay as they were. Fails when the file cannot be written; the lists in memory keep
  // the change.
  Outcome Remember(std::string_view name, std::string_view mail);

 private:
  std::string path_;
  std::vector<std::string> names_;
  std::vector<std::string> mails_;
};

// IniDir() + "/posthistory.ini".
std::string PostHistoryPath();

}  // namespace velkor
