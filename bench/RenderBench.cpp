// Loading and rendering a stored thread, and the largest reply pop-up, on the shared generated log
// (BenchLog.h): 1000 replies make a log of about 0.9 MB.

#include <benchmark/benchmark.h>

#include <string>

#include "BenchLog.h"
#include "ScratchDir.h"
#include "base/FileUtil.h"
#include "threads/DatRenderer.h"
#include "threads/PopupText.h"
#include "threads/Skin.h"

namespace velkor {
namespace {

// A generated log file for the run, removed at exit.
class LogFile {
 public:
  explicit LogFile(int replies)
      : dir_("velkor-render-bench-"), log_(bench::MakeThreadLog(bench::LogShape(replies))) {
    path_ = dir_.Path() + "/1234567890.dat";
    ReplaceFile(path_, log_);
  }
  const std::string& Path() const { return path_; }
  std::size_t Size() const { return log_.size(); }

 private:
  bench::ScratchDir dir_;
  std::string log_;
  std::string path_;
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
