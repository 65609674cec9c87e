// Log search over a large generated log tree: SearchFavoriteLogs with a plain word and with regular
// expressions, beside grep -r -l and ripgrep (rg -l) on the same tree.
//
// The tree (20 boards x 500 logs of the shared generated kind (BenchLog.h), about 500 MB, each log
// with its own seed) is generated once into $VELKOR_BENCH_DIR, or
// /tmp/velkor-search-bench, and reused by later runs; a marker file tells a complete tree.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchLog.h"
#include "app/DataDir.h"
#include "boards/BoardCatalog.h"
#include "search/RegexEngine.h"
#include "search/SearchWalks.h"

namespace velkor {
namespace {

constexpr int kBoards = 20;
constexpr int kLogsPerBoard = 500;
constexpr std::size_t kLogBytes = 50 * 1000;  // target size of one log
// The plain word is planted in one log of 40, somewhere in its second half; the expression matches
// the same places.
constexpr int kPlantEvery = 40;
constexpr const char* kWord = "velkorneedle";
constexpr const char* kExpression = "velk[o0]rneed(le|el)";
// The same places again, but without plain text at the start: the engine's own search decides.
constexpr const char* kClassFirst = "[uv]elk[o0]rneed(le|el)";

// The data directory with the tree, generated on first use.
const std::string& TreeDir() {
  static const std::string dir = [] {
    const char* env = std::getenv("VELKOR_BENCH_DIR");
    const std::string root = env != nullptr && *env != '\0' ? env : "/tmp/velkor-search-bench";
    const std::string marker = root + "/complete.2";  // made by the current generator
    if (!std::filesystem::exists(marker)) {
      std::filesystem::remove_all(root);
      std::filesystem::create_directories(root + "/ini");
      std::ofstream favorites(root + "/ini/subscrib.ini", std::ios::binary);
      favorites << "[bench]\r\n";
      for (int b = 0; b < kBoards; ++b) {
        const std::string host = "host" + std::to_string(b % 4);
        const std::string board = "board" + std::to_string(b);
        favorites << board << "=http://" << host << "/" << board << "/\r\n";
        const std::string boardDir = root + "/log/" + host + "/" + board + "/";
        std::filesystem::create_directories(boardDir);
        std::ofstream subjects(boardDir + "subject.ini", std::ios::binary);
        for (int t = 0; t < kLogsPerBoard; ++t) {
          const std::string dat = std::to_string(1700000000 + t) + ".dat";
          subjects << "[" << dat << "]\r\nNowNo=" << t + 1 << "\r\nTitle=thread " << t
                   << "\r\nGotCount=1\r\n\r\n";
          const int index = b * kLogsPerBoard + t;
          bench::LogShape shape(1);
          shape.minBytes = kLogBytes;
          shape.seed = static_cast<std::uint64_t>(index) + 1;
          if (index % kPlantEvery == 0) shape.plant = kWord;
          shape.plantAfter =
              kLogBytes / 2 + static_cast<std::size_t>(index * 7919) % (kLogBytes / 2);
          std::ofstream(boardDir + dat, std::ios::binary) << bench::MakeThreadLog(shape);
        }
      }
      favorites << "\r\n";
      favorites.close();
      std::ofstream(marker) << "ok\n";
    }
    InitDataDir(root);
    return root;
  }();
  return dir;
}

void RunSearch(benchmark::State& state, const char* word, bool ignoreCase) {
  TreeDir();
  OpenCatalogs();
  RegexEngine engine;
  engine.Load();
  if (!engine.Prepare(word, ignoreCase).IsOk()) {
    state.SkipWithError("the word was rejected");
    return;
  }
  std::size_t hits = 0;
  for (auto _ : state) {
    const std::string page = SearchFavoriteLogs(Favorites(), engine, {});
    std::size_t count = 0;
    for (std::size_t at = page.find("<dd>"); at != std::string::npos;
         at = page.find("<dd>", at + 1)) {
      ++count;
    }
    hits = count;
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["hits"] = static_cast<double>(hits);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBoards * kLogsPerBoard *
                          static_cast<std::int64_t>(kLogBytes));
}

// Runs `tool` (a command taking the pattern and then the folder) over the log folder.
void RunTool(benchmark::State& state, const std::string& tool, const char* word) {
  const std::string command = "LC_ALL=C " + tool + " '" + word + "' '" + TreeDir() +
                              "/log' | wc -l > '" + TreeDir() + "/tool-hits'";
  rusage before{};
  ::getrusage(RUSAGE_CHILDREN, &before);
  for (auto _ : state) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status)) state.SkipWithError("the tool did not run");
  }
  rusage after{};
  ::getrusage(RUSAGE_CHILDREN, &after);
  // The tool's own processor time (all its threads), comparable with this program's CPU column
  // when other work on the machine stretches the wall-clock times.
  auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  state.counters["cpu_ms"] =
      (ms(after.ru_utime) + ms(after.ru_stime) - ms(before.ru_utime) - ms(before.ru_stime)) /
      static_cast<double>(state.iterations());
  std::ifstream hits(TreeDir() + "/tool-hits");
  double count = 0;
  hits >> count;
  state.counters["hits"] = static_cast<double>(count);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBoards * kLogsPerBoard *
                          static_cast<std::int64_t>(kLogBytes));
}

// Each pattern, with and without letter case, by this program, grep and ripgrep.
#define VELKOR_SEARCH_CASE(name, word, grepOptions, rgOptions)             \
  void BM_SearchFavoriteLogs_##name(benchmark::State& state) {             \
    RunSearch(state, word, false);                                         \
  }                                                                        \
  void BM_Grep_##name(benchmark::State& state) {                           \
    RunTool(state, "grep -r -l " grepOptions, word);                       \
  }                                                                        \
  void BM_Ripgrep_##name(benchmark::State& state) {                        \
    RunTool(state, "rg -l " rgOptions, word);                              \
  }                                                                        \
  void BM_SearchFavoriteLogs_##name##IgnoreCase(benchmark::State& state) { \
    RunSearch(state, word, true);                                          \
  }                                                                        \
  void BM_Grep_##name##IgnoreCase(benchmark::State& state) {               \
    RunTool(state, "grep -r -l -i " grepOptions, word);                    \
  }                                                                        \
  void BM_Ripgrep_##name##IgnoreCase(benchmark::State& state) {            \
    RunTool(state, "rg -l -i " rgOptions, word);                           \
  }                                                                        \
  VELKOR_SEARCH_BENCH(BM_SearchFavoriteLogs_##name);                       \
  VELKOR_SEARCH_BENCH(BM_Grep_##name);                                     \
  VELKOR_SEARCH_BENCH(BM_Ripgrep_##name);                                  \
  VELKOR_SEARCH_BENCH(BM_SearchFavoriteLogs_##name##IgnoreCase);           \
  VELKOR_SEARCH_BENCH(BM_Grep_##name##IgnoreCase);                         \
  VELKOR_SEARCH_BENCH(BM_Ripgrep_##name##IgnoreCase)

#define VELKOR_SEARCH_BENCH(name) \
  BENCHMARK(name)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5)

VELKOR_SEARCH_CASE(Word, kWord, "-F", "-F");
VELKOR_SEARCH_CASE(Expression, kExpression, "-E", "");
VELKOR_SEARCH_CASE(ClassFirst, kClassFirst, "-E", "");

}  // namespace
}  // namespace velkor
