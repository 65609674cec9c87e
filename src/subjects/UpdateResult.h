#pragma once

// What a download-and-store step (a thread-list refresh, a thread-log fetch) came to, for callers
// that must tell the user the truth about it.

#include <string>

#include "base/Result.h"

namespace velkor {

enum class Update {
  kOk,          // new data was downloaded and is on disk
  kUnchanged,   // the server answered "not modified", or there was nothing new
  kFailed,      // the download failed, was stopped, or brought nothing usable; its status texts
                // have been shown while it ran
  kNotWritten,  // the download came, but a file could not be written: the reason (from
                // WriteFailureText) has not been shown yet
};

// A step's result; every code but kOk and kUnchanged has a one-line reason (CP932): an "エラー:"
// text, "移転しています." or "中断しました.".
using UpdateResult = Result<Update>;

// The reason of kNotWritten: "エラー:保存できません: " + path, CP932.
std::string WriteFailureText(const std::string& path);

}  // namespace velkor
