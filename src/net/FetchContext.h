#pragma once

#include <cstdint>
#include <memory>

#include "base/TempFile.h"

namespace velkor {

// The record of one user operation that downloads something (a thread list, a thread log, the
// cache server's board list), passed to HttpSession::SetStatusHandler as the handler context.
// Making it sets `id` to the current time in seconds and, only when the DebugLog setting is on,
// opens a trace file "tmpXXXXXX" in LogDir() that is deleted again when the context goes away (so
// the trace can be watched only while the operation runs). When that file cannot be made there is
// no trace.
struct FetchContext {
  FetchContext();
  FetchContext(const FetchContext&) = delete;
  FetchContext& operator=(const FetchContext&) = delete;

  std::uint8_t abortRequested = 0;        // set to 1 by the user interface to stop the fetch
  std::unique_ptr<TempFile> traceStream;  // null unless DebugLog is on
  std::int32_t id = 0;                    // time(nullptr) when made; heads every trace record
};

// The program's standard status handler, installed with a FetchContext for thread-list, thread-log
// and cache-server downloads. A null context gives 0. Otherwise a non-null message becomes the
// status-bar text (Ui().SetStatusText), pending user-interface events are processed
// (Ui().ProcessEvents) and the context's abortRequested is returned.
int StandardStatusHandler(const char* message, void* context, std::int32_t received,
                          std::int32_t total);

// Asks every running and later fetch of this process to stop, as the stop button does for one:
// status handlers' answers count as "stop" from then on, and waits end at their next slice. Safe to
// call from a signal handler. Nothing takes the request back.
void RequestStopOfAllFetches();
bool StopOfAllFetchesRequested();

}  // namespace velkor
