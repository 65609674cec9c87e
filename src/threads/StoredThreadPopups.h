#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "threads/NgFilter.h"

namespace velkor {

// The replies of another stored thread as the rules of its board leave them, read on first use:
// what the reply anchors inside a pop-up of that thread show. Nothing is read until PopupText is
// asked for, so a pop-up of a link costs no second read of the log.
class StoredThreadPopups {
 public:
  // `logPath`: the thread's log (board directory + dat name); its board's rules come from the
  // path (LoadNgFilterFor).
  explicit StoredThreadPopups(std::string logPath) : logPath_(std::move(logPath)) {}

  // BuildFilteredPopupText of the thread's replies; empty when the log cannot be read.
  std::string PopupText(std::string_view spec, int lineLimit);

 private:
  std::string logPath_;
  std::optional<NgOutcome> shown_;
};

}  // namespace velkor
