#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "net/HttpSession.h"

namespace velkor::test {

// A status handler for the network tests: records every status text and progress report, and asks
// to stop at a chosen point.
struct StatusRecorder {
  struct Progress {
    std::int32_t received;
    std::int32_t total;
  };
  std::vector<std::string> texts;  // CP932
  std::vector<Progress> progress;
  int stopAtProgress = -1;  // answer "stop" to this progress report (0-based), and every later one
  std::string stopAtText;   // answer "stop" when this text is reported
  // Called with every status text and every progress report (a null text), before answering.
  std::function<void(const char* text)> onReport;

  void Install(HttpSession& session) { session.SetStatusHandler(this, &Handle); }
  bool Saw(const std::string& text) const;

  static int Handle(const char* message, void* context, std::int32_t received, std::int32_t total);
};

// A gzip member holding `data` (made with zlib, so the header has no optional fields).
std::string GzipBytes(std::string_view data);

// An HTTP/1.1 answer: the status line, the header lines (each without CR LF), a blank line, the
// body.
std::string HttpAnswer(std::string_view statusLine, const std::vector<std::string>& fields,
                       std::string_view body = {});

}  // namespace velkor::test
