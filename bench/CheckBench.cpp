// The new-reply check of 100 favourite boards spread over 10 hosts, against a local nginx: once
// with nothing new (every board answers 304), once with 50 threads whose logs are fetched
// (differentially). Each board lists 300 threads.
//
// The program starts /usr/sbin/nginx on a free loopback port in a temporary folder (plain HTTP,
// one root for all ten host names, which reach it through connect overrides), makes a data folder
// beside it, merges every board's list once, and removes both at the end.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchLog.h"
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

unsigned short FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  unsigned short port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

bool Accepts(unsigned short port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

void Write(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
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
      Write(www + "/" + BoardName(board) + "/subject.txt", list);
      if (board < kFetchedThreads) {
        Write(www + "/" + BoardName(board) + "/dat/" + DatName(board, 0), served);
      }
      boards_.push_back({"bench", BoardName(board), BoardUrl(board)});
    }
    port_ = FreePort();
    std::string conf = ::geteuid() == 0 ? "user root;\n" : "";
    conf += "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + scratch_.Path() +
            "/nginx.pid;\nerror_log " + scratch_.Path() +
            "/error.log;\nevents { worker_connections 256; }\n";
    conf += "http {\n  access_log off;\n  types { text/plain txt dat; }\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"}) {
      conf += std::string("  ") + temp + "_temp_path " + scratch_.Path() + "/" + temp + ";\n";
    }
    conf += "  server {\n    listen 127.0.0.1:" + std::to_string(port_) + ";\n    root " + www +
            ";\n  }\n}\n";
    Write(scratch_.Path() + "/nginx.conf", conf);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::execl("/usr/sbin/nginx", "nginx", "-p", scratch_.Path().c_str(), "-c",
              (scratch_.Path() + "/nginx.conf").c_str(), "-e",
              (scratch_.Path() + "/error.log").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 500 && !Accepts(port_); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::vector<std::string> overrides;
    for (int host = 0; host < kHosts; ++host) {
      overrides.push_back(Host(host) + "=127.0.0.1:" + std::to_string(port_));
    }
    (void)AddConnectOverrides(overrides);
    std::filesystem::create_directories(scratch_.Path() + "/data");
    InitDataDir(scratch_.Path() + "/data");
    // The first check merges every list and stores the time stamps the next ones send back.
    merged_ = NewReplyCheck().Run(boards_, {}).FailedBoards() == 0;
  }
  ~Network() {
    if (pid_ > 0) {
      ::kill(pid_, SIGQUIT);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  bool Ready() const { return merged_ && Accepts(port_); }
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
  unsigned short port_ = 0;
  pid_t pid_ = -1;
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
