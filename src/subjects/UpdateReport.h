#pragma once

// What a download-and-store step (a thread-list refresh, a thread-log fetch) came to, for callers
// that must tell the user the truth about it.

#include <string>
#include <utility>

namespace velkor {

enum class UpdateOutcome {
  kUpdated,    // new data was downloaded and is on disk
  kUnchanged,  // the server answered "not modified", or there was nothing new
  kFailed,     // the download failed, or what came could not be stored
};

struct UpdateReport {
  UpdateOutcome outcome = UpdateOutcome::kUnchanged;
  // For kFailed: one line saying why, CP932 (a status text: "エラー:..." or "移転しています.").
  std::string reason;

  void Fail(std::string why) {
    outcome = UpdateOutcome::kFailed;
    reason = std::move(why);
  }
};

// The one-line reason for a FetchFull / FetchDifferential result other than kFetchOk and
// kFetchNotModified (net/Fetch.h), CP932.
std::string FetchFailureText(int fetchResult);

// The status text told (Ui().SetStatusText) and reported when a downloaded file could not be
// written: "エラー:保存できません: " + path, CP932.
std::string WriteFailureText(const std::string& path);

}  // namespace velkor
