// The new-reply check of 100 favourite boards spread over 10 hosts, against a local nginx: once
// with nothing new (every board answers 304), once with 50 threads whose logs are fetched
// (differentially). Each board lists 300 threads.
//
// The program starts /usr/sbin/nginx on a free loopback port in a temporary folder (plain HTTP,
// one root for all ten host names, which reach it through connect overrides), makes a data folder
// beside it, merges every board's list once, and removes both at the end.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "BenchLog.h"
#include "BenchNginx.h"
#include "ScratchDir.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "net/ConnectOverrides.h"
#include "subjects/NewReplyCheck.h"
#include "subjects/SubjectList.h"
#include "subjects/ThreadState.h"
#include "threads/ThreadLogFetch.h"

namespace velkor {
namespace {

constexpr int kBoards = 100;
constexpr int kHosts = 10;
constexpr int kThreadsPerBoard = 300;
constexpr int kFetchedThreads = 50;  // thread 0 of boards 0 to 49
constexpr int kStoredReplies = 20;
constexpr int kServedReplies = 25;

std::string Host(int board) {
  return "host" + std::to_string(board % kHosts) + ".bench.test";
}
std::string BoardName(int board) {
  return "board" + std::to_string(board);
}
std::string BoardUrl(int board) {
  return "http://" + Host(board) + "/" + BoardName(board) + "/";
}
std::string DatName(int board, int thread) {
  return std::to_string(1700000000LL + board * 1000 + thread) + ".dat";
}

// The first `replies` lines of the served log.
std::string Lines(const std::string& log, int replies) {
  std::size_t end = 0;
  for (int i = 0; i < replies; ++i) end = log.find('\n', end) + 1;
  return log.substr(0, end);
}

// nginx serving the boards, and a data folder whose lists are merged.
class Network {
 public:
  Network() : scratch_("velkor-check-bench-") {
    if (scratch_.Path().empty()) return;
    const std::string www = scratch_.Path() + "/www";
    const std::string served = bench::MakeThreadLog(bench::LogShape(kServedReplies));
    stored_ = Lines(served, kStoredReplies);
    for (int board = 0; board < kBoards; ++board) {
      std::string list;
      for (int thread = 0; thread < kThreadsPerBoard; ++thread) {
        list += DatName(board, thread) + "<>Thread " + std::to_string(thread) + " of board " +
                std::to_string(board) + " (" +
                std::to_string(thread == 0 ? kServedReplies : 100 + thread) + ")\n";
      }
      bench::WriteBenchFile(www + "/" + BoardName(board) + "/subject.txt", list);
      if (board < kFetchedThreads) {
        bench::WriteBenchFile(www + "/" + BoardName(board) + "/dat/" + DatName(board, 0), served);
      }
      boards_.push_back({"bench", BoardName(board), BoardUrl(board)});
    }
    nginx_.emplace(scratch_.Path(), www);
    std::vector<std::string> overrides;
    for (int host = 0; host < kHosts; ++host) {
      overrides.push_back(Host(host) + "=127.0.0.1:" + std::to_string(nginx_->Port()));
    }
    (void)AddConnectOverrides(overrides);
    std::filesystem::create_directories(scratch_.Path() + "/data");
    InitDataDir(scratch_.Path() + "/data");
    // The first check merges every list and stores the time stamps the next ones send back.
    merged_ = NewReplyCheck().Run(boards_, {}).FailedBoards() == 0;
  }
  bool Ready() const { return merged_ && nginx_ && nginx_->Ready(); }
  const std::vector<CheckBoard>& Boards() const { return boards_; }

  // Thread 0 of the first 50 boards: a log of 20 replies (the list announces 25), or a log as
  // complete as the server's.
  bool StoreLogs(bool behind) {
    const std::string served = bench::MakeThreadLog(bench::LogShape(kServedReplies));
    const std::string& log = behind ? stored_ : served;
    for (int board = 0; board < kFetchedThreads; ++board) {
      SubjectList list;
      const std::string dir = LogDir() + "/" + Host(board) + "/" + BoardName(board) + "/";
      if (!list.Bind(SubjectIniPath(dir), BoardUrl(board)) ||
          !ReplaceFile(dir + DatName(board, 0), log) ||
          !list.StoreFetched(log, DatName(board, 0), true, std::string())) {
        return false;
      }
    }
    return true;
  }

 private:
  bench::ScratchDir scratch_;
  std::string stored_;
  std::vector<CheckBoard> boards_;
  std::optional<bench::BenchNginx> nginx_;
  bool merged_ = false;
};

Network& TheNetwork() {
  static Network network;
  return network;
}

void CheckNothingNew(benchmark::State& state) {
  Network& network = TheNetwork();
  if (!network.Ready() || !network.StoreLogs(false)) {
    state.SkipWithError("nginx or the data folder could not be set up");
    return;
  }
  for (auto _ : state) {
    CheckReport report = NewReplyCheck().Run(network.Boards(), {});
    if (report.FailedBoards() != 0 || !report.threads.empty()) {
      state.SkipWithError("the check failed or found something");
      return;
    }
  }
  state.counters["boards"] = kBoards;
}
BENCHMARK(CheckNothingNew)->Unit(benchmark::kMillisecond)->UseRealTime();

void CheckFetching50Threads(benchmark::State& state) {
  Network& network = TheNetwork();
  if (!network.Ready()) {
    state.SkipWithError("nginx or the data folder could not be set up");
    return;
  }
  CheckOptions options;
  options.fetchLog = [](SubjectList& list, const std::string& datName) {
    ThreadFetchReport fetched = FetchThreadReplies(list, datName);
    return CheckedFetch{fetched.result, fetched.added};
  };
  for (auto _ : state) {
    state.PauseTiming();
    const bool stored = network.StoreLogs(true);
    state.ResumeTiming();
    if (!stored) {
      state.SkipWithError("the logs could not be stored");
      return;
    }
    CheckReport report = NewReplyCheck().Run(network.Boards(), options);
    if (report.FailedBoards() != 0 || !report.fetchFailures.empty() ||
        report.threads.size() != kFetchedThreads ||
        report.threads.front().newReplies != kServedReplies - kStoredReplies) {
      state.SkipWithError("the check did not fetch the 50 threads");
      return;
    }
  }
  state.counters["boards"] = kBoards;
  state.counters["fetched"] = kFetchedThreads;
}
BENCHMARK(CheckFetching50Threads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace velkor
