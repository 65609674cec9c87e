#include "net/FetchContext.h"

#include <csignal>
#include <ctime>

#include "app/DataDir.h"
#include "app/Settings.h"
#include "app/UiHooks.h"

namespace velkor {
namespace {

volatile std::sig_atomic_t stopAll = 0;

}  // namespace

FetchContext::FetchContext() : id(static_cast<std::int32_t>(std::time(nullptr))) {
  if (!AppSettings().debugLog) return;
  traceStream = std::make_unique<TempFile>();
  if (!traceStream->Create(LogDir(), "tmp")) traceStream.reset();
}

int StandardStatusHandler(const char* message, void* context, std::int32_t, std::int32_t) {
  if (context == nullptr) return 0;
  if (message != nullptr) Ui().SetStatusText(message);
  Ui().ProcessEvents();
  return static_cast<FetchContext*>(context)->abortRequested;
}

void RequestStopOfAllFetches() {
  stopAll = 1;
}

bool StopOfAllFetchesRequested() {
  return stopAll != 0;
}

}  // namespace velkor
