// Merging a downloaded thread list into a large subject.ini, and filling the rows from it.
//
// A board knows N threads (one in four with a stored log); the new list drops 5 % of them (every
// twentieth) and brings 5 % new ones (one before every twentieth listed thread). Each iteration
// starts from the same subject.ini: `MergeAndFill` times Merge (subject.ini written, flushed to
// disk) and Fill with the default show type; `Load` times binding the list to the file (read and
// parse).

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "subjects/SubjectList.h"

namespace velkor {
namespace {

constexpr std::int64_t kFirstKey = 1600000000;

std::string Title(std::int64_t key) {
  static const std::string text = Sjis("【雑談】ベンチマーク用のスレッド　その");
  return text + std::to_string(key % 100000);
}

// A board directory with a subject.ini of `threads` threads, removed at exit.
class Board {
 public:
  explicit Board(int threads) {
    char path[] = "/tmp/velkor-subject-bench-XXXXXX";
    dir_ = ::mkdtemp(path) != nullptr ? std::string(path) + "/" : std::string();
    for (int i = 0; i < threads; ++i) {
      const std::int64_t key = kFirstKey + i;
      ini_ += "[" + std::to_string(key) + ".dat]\r\n";
      ini_ += "NowNo=" + std::to_string(i + 1) + "\r\nPreNo=" + std::to_string(i + 2) + "\r\n";
      ini_ += "ResCount=" + std::to_string(10 + i % 990) + "\r\nTitle=" + Title(key) + "\r\n";
      if (i % 4 == 0) {
        ini_ += "GotCount=" + std::to_string(5 + i % 900) + "\r\nUnread=3\r\n";
        ini_ += "LastModified= Mon, 07 Dec 2026 12:34:56 GMT\r\nDatSize=123456\r\n";
      }
      ini_ += "\r\n";
    }
    int newKeys = 0;
    for (int i = 0; i < threads; ++i) {
      if (i % 20 == 10) continue;  // gone
      if (i % 20 == 0) {
        const std::int64_t key = kFirstKey + threads + newKeys++;
        lines_.push_back(std::to_string(key) + ".dat<>" + Title(key) + " (1)");
      }
      const std::int64_t key = kFirstKey + i;
      lines_.push_back(std::to_string(key) + ".dat<>" + Title(key) + " (" +
                       std::to_string(11 + i % 990) + ")");
    }
    Reset();
  }
  ~Board() {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  void Reset() const { ReplaceFile(IniPath(), ini_); }
  std::string IniPath() const { return dir_ + "subject.ini"; }
  const std::vector<std::string>& Lines() const { return lines_; }
  std::size_t IniBytes() const { return ini_.size(); }

 private:
  std::string dir_;
  std::string ini_;
  std::vector<std::string> lines_;
};

void BM_SubjectMergeAndFill(benchmark::State& state) {
  const Board board(static_cast<int>(state.range(0)));
  SubjectList list;
  std::size_t rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    board.Reset();
    list.Bind(board.IniPath());
    std::vector<std::string> lines = board.Lines();
    state.ResumeTiming();
    if (!list.Merge(std::move(lines))) state.SkipWithError("subject.ini was not written");
    list.Fill(ShowTypeMask(ShowType::kThreads));
    rows = list.RowCount();
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["ini_bytes"] = static_cast<double>(board.IniBytes());
}

void BM_SubjectLoad(benchmark::State& state) {
  const Board board(static_cast<int>(state.range(0)));
  SubjectList list;
  for (auto _ : state) {
    list.Bind(board.IniPath());
    benchmark::DoNotOptimize(list.Ini());
  }
}

BENCHMARK(BM_SubjectMergeAndFill)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Arg(2500)
    ->Arg(5000)
    ->Arg(10000)
    ->Arg(20000)
    ->Arg(40000);
BENCHMARK(BM_SubjectLoad)->Unit(benchmark::kMillisecond)->Arg(10000)->Arg(40000);

}  // namespace
}  // namespace velkor
