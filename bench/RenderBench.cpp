// Loading and rendering a stored thread, and the largest reply pop-up.
//
// The thread is generated: replies of about 1 KB of Shift_JIS text with reply anchors (the server's
// link markup included), URLs (plain, "ttp://" and redirected) and entities, so 1000 replies make a
// log of about 1 MB.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "threads/DatRenderer.h"
#include "threads/PopupText.h"
#include "threads/Skin.h"

namespace velkor {
namespace {

std::string MakeLog(int replies) {
  const std::string name = Sjis("名無しさん");
  const std::string text =
      Sjis("これはベンチマーク用の書き込みです。日本語の本文がしばらく続きます。");
  const std::string title = Sjis("ベンチマークのスレッド");
  std::string log;
  for (int k = 1; k <= replies; ++k) {
    const std::string earlier = std::to_string(k > 1 ? k - 1 : 1);
    log += name + "<>" + (k % 3 == 0 ? "sage" : "") + "<>2026/12/07(" + Sjis("月") +
           ") 12:34:56.78 ID:AbCdEfGh<> ";
    log += "<a href=\"../test/read.cgi/board/1234567890/" + earlier +
           "\" target=\"_blank\">&gt;&gt;" + earlier + "</a> <br> ";
    for (int line = 0; line < 6; ++line) log += text + " <br> ";
    log += Sjis("＞＞１２－１５") + " &gt;&gt;3, 5 " + text + " <br> ";
    log += "http://example.com/path/" + std::to_string(k) + "?q=a&amp;b=c <br> ";
    log += "ttp://ime.nu/www.example.org/page.html&gt;&gt;" + earlier + " <br> ";
    log += "&quot;" + text + "&quot; &lt;tag&gt; &amp; &nbsp; ";
    log += "<>";
    if (k == 1) log += title;
    log += "\n";
  }
  return log;
}

// A log file for the run, removed at exit.
class LogFile {
 public:
  explicit LogFile(int replies) {
    char path[] = "/tmp/velkor-bench-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd >= 0) ::close(fd);
    path_ = path;
    log_ = MakeLog(replies);
    ReplaceFile(path_, log_);
  }
  ~LogFile() { RemoveFile(path_); }
  const std::string& Path() const { return path_; }
  std::size_t Size() const { return log_.size(); }

 private:
  std::string path_;
  std::string log_;
};

void BM_RenderLoadAndRender(benchmark::State& state) {
  const LogFile log(static_cast<int>(state.range(0)));
  const Skin skin;
  std::size_t pageSize = 0;
  for (auto _ : state) {
    ReplyList replies;
    LoadReplies(replies, log.Path());
    std::string page = RenderPage(skin, replies, "title", 1, 50);
    pageSize = page.size();
    benchmark::DoNotOptimize(page);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(log.Size()));
  state.counters["log_bytes"] = static_cast<double>(log.Size());
  state.counters["page_bytes"] = static_cast<double>(pageSize);
}
BENCHMARK(BM_RenderLoadAndRender)->Arg(250)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);

void BM_RenderPopupAllReplies(benchmark::State& state) {
  const LogFile log(1000);
  ReplyList replies;
  LoadReplies(replies, log.Path());
  for (auto _ : state) {
    std::string text = BuildPopupText(replies, "1-1000", 40);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_RenderPopupAllReplies)->Unit(benchmark::kMicrosecond);

void BM_RenderPopupFromLog(benchmark::State& state) {
  const LogFile log(1000);
  for (auto _ : state) {
    std::string text = BuildPopupTextFromLog(log.Path(), "1-1000", 40);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_RenderPopupFromLog)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velkor
