// velkor-cli killed with SIGKILL at seeded random points while it refreshes a thread list, fetches
// a thread log and imports board menus (the server's files and the menu switch between two versions
// as it goes). After every kill each INI file is whole, each list or log is one of the versions it
// can hold, and every thread's GotCount and DatSize agree with its log or are corrected by the next
// open; at the end a completed run finds the favourite's logs where its URL says.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "subjects/SubjectText.h"
#include "support/CliRunner.h"
#include "support/NginxFixture.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr unsigned kSeed = 20261207;
constexpr int kKillsPerCommand = 12;

// A log of `lines` replies, long enough that writing it is not instantaneous.
std::string Log(int lines) {
  std::string log;
  for (int k = 1; k <= lines; ++k) {
    log += test::S("名無しさん<>sage<>2024/01/02(火) 03:04:05.67 ID:abc<> ") +
           std::string(3000, static_cast<char>('a' + k % 26)) +
           (k == 1 ? test::S(" <>スレッド\n") : " <>\n");
  }
  return log;
}

std::string Menu(const std::string& host) {
  return test::S("<B>ニュース</B><BR>\n<A HREF=http://") + host +
         test::S("/news/>ニュース速報</A><br>\n<A HREF=http://ex.5ch.io/poverty/>嫌儲</A><br>\n");
}

class CrashSafety {
 public:
  CrashSafety() {
    dir_.WriteFile("ini/board.ini",
                   test::S("[ニュース]\r\nニュース速報=http://ex.5ch.io/news/\r\n\r\n"));
    dir_.WriteFile("ini/subscrib.ini", dir_.ReadFile("ini/board.ini"));
    dir_.WriteFile("menu-a.html", Menu("ex.5ch.io"));
    dir_.WriteFile("menu-b.html", Menu("ex2.5ch.io"));
    for (int version = 0; version < 2; ++version) {
      subjects_.insert(Subject(version));
      logs_.insert(Log(version == 0 ? 40 : 60));
    }
    Serve(0);
  }

  test::NginxFixture& Nginx() { return nginx_; }

  // The files the server offers switch to the version.
  void Serve(int version) {
    nginx_.WriteFile("news/subject.txt", Subject(version),
                     test::NginxFixture::kFixedTime + version);
    nginx_.WriteFile("news/dat/1700000001.dat", Log(version == 0 ? 40 : 60),
                     test::NginxFixture::kFixedTime + version);
  }

  // The arguments with both board hosts routed to the nginx.
  std::vector<std::string> Routed(const std::vector<std::string>& args) const {
    std::vector<std::string> routed;
    for (const char* host : {"ex.5ch.io", "ex2.5ch.io"}) {
      routed.push_back("--connect-to");
      routed.push_back(nginx_.ConnectTo(host));
    }
    routed.insert(routed.end(), args.begin(), args.end());
    return routed;
  }

  // velkor-cli with the arguments (routed), killed with SIGKILL after `delay` unless it ends first.
  void Run(const std::vector<std::string>& args, Clock::duration delay) {
    std::vector<std::string> argv{VELKOR_CLI_PATH, "--data-dir", dir_.Path()};
    for (std::string& arg : Routed(args)) argv.push_back(std::move(arg));
    const Clock::time_point start = Clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
      int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      std::vector<char*> cargv;
      for (auto& a : argv) cargv.push_back(a.data());
      cargv.push_back(nullptr);
      ::execv(cargv[0], cargv.data());
      ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (Clock::now() - start >= delay) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  // The whole state after a run: returns the faults found (empty when sound).
  std::vector<std::string> Faults() const {
    std::vector<std::string> faults;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.Path())) {
      if (!entry.is_regular_file()) continue;
      const std::string path = entry.path().string();
      const std::string name = entry.path().filename().string();
      if (name.find(".tmp") != std::string::npos) continue;  // an unfinished replacement
      const std::string text = ReadWholeFile(path).value_or("<unreadable>");
      if (name.ends_with(".ini")) {
        IniDocument doc;
        doc.Parse(text);
        if (text.empty() || doc.ToText() != text) faults.push_back("torn INI file " + path);
      } else if (name == "subject.txt") {
        if (!subjects_.count(text)) faults.push_back("subject.txt neither old nor new: " + path);
      } else if (name.ends_with(".dat")) {
        if (!logs_.count(text)) faults.push_back("log neither old nor new: " + path);
      }
    }
    return faults;
  }

  // Threads whose reading state disagrees with their log on disk (GotCount or DatSize), as
  // "subject.ini [section]" texts.
  std::vector<std::string> Disagreements() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.Path() + "/log")) {
      if (!entry.is_regular_file() || entry.path().filename() != "subject.ini") continue;
      IniDocument ini;
      ini.Load(entry.path().string());
      const std::string dir = entry.path().parent_path().string() + "/";
      for (const auto& section : ini.Sections()) {
        std::optional<std::string> log = ReadWholeFile(dir + section.name);
        if (!log) continue;
        if (IniDocument::ReadNumber<long long>(section, "GotCount", 0) != CountLines(*log) ||
            IniDocument::ReadNumber<long long>(section, "DatSize", 0) !=
                static_cast<long long>(log->size())) {
          found.push_back(entry.path().string() + " [" + section.name + "]");
        }
      }
    }
    return found;
  }

  const test::TempDataDir& Dir() const { return dir_; }

  // The files below the log folder, for failure messages.
  std::string LogTree() const {
    std::string tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir_.Path() + "/log")) {
      tree += " " + entry.path().string().substr(dir_.Path().size() + 5);
    }
    return tree;
  }

 private:
  static std::string Subject(int version) {
    return version == 0 ? test::S("1700000001.dat<>スレッド (40)\n1700000002.dat<>別 (1)\n")
                        : test::S("1700000002.dat<>別 (2)\n1700000001.dat<>スレッド (60)\n");
  }

  test::TempDataDir dir_;
  test::NginxFixture nginx_;
  std::set<std::string> subjects_;
  std::set<std::string> logs_;
};

TEST(CrashSafetyTest, KilledRunsLeaveOldOrNewFiles) {
  CrashSafety run;
  ASSERT_TRUE(run.Nginx().IsRunning()) << run.Nginx().ErrorLog();
  // Command-line arguments are UTF-8.
  const std::string news = "ニュース";
  const std::string board = "ニュース速報";
  const std::vector<std::vector<std::string>> commands = {
      {"refresh", news, board},
      {"fetch", news, board, "1700000001"},
      {"menu-import", run.Dir().Path() + "/menu-b.html"},
      {"menu-import", run.Dir().Path() + "/menu-a.html"},
  };
  const std::vector<std::string> open = {"open", news, board, "1700000001"};
  // How long each command takes when it is not killed (the first run also stores the logs).
  std::vector<Clock::duration> durations;
  for (const auto& command : commands) {
    const Clock::time_point start = Clock::now();
    const test::CliResult result = test::RunCli(run.Dir(), run.Routed(command));
    durations.push_back(Clock::now() - start);
    ASSERT_EQ(result.exitCode, 0) << command[0] << ": " << result.err;
  }
  ASSERT_TRUE(run.Dir().Exists("log/ex.5ch.io/news/1700000001.dat")) << run.LogTree();
  ASSERT_TRUE(run.Faults().empty());

  std::mt19937 random(kSeed);
  for (int round = 0; round < kKillsPerCommand * static_cast<int>(commands.size()); ++round) {
    const std::size_t which = static_cast<std::size_t>(round) % commands.size();
    run.Serve(static_cast<int>(random() % 2));
    // Most of a run is start-up; the writes come near its end.
    const double share = 0.4 + 0.8 * std::uniform_real_distribution<double>(0, 1)(random);
    const auto delay = std::chrono::duration_cast<Clock::duration>(durations[which] * share);
    run.Run(commands[which], delay);
    const std::vector<std::string> faults = run.Faults();
    const std::string where =
        "round " + std::to_string(round) + " (seed " + std::to_string(kSeed) + "), " +
        commands[which][0] + " killed after " +
        std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(delay).count()) +
        " ms: ";
    ASSERT_TRUE(faults.empty()) << where << faults.front();
    // A reading state that disagrees with its log is corrected when the thread is next opened.
    if (!run.Disagreements().empty()) {
      const test::CliResult opened = test::RunCli(run.Dir(), run.Routed(open));
      ASSERT_EQ(opened.exitCode, 0) << where << opened.err;
      const std::vector<std::string> left = run.Disagreements();
      ASSERT_TRUE(left.empty()) << where
                                << "state and log still disagree after an open: " << left.front();
    }
  }

  // Completed runs repair whatever a kill interrupted: the favourite's logs are where its URL says.
  auto imported = test::RunCli(run.Dir(), {"menu-import", run.Dir().Path() + "/menu-b.html"});
  ASSERT_EQ(imported.exitCode, 0) << imported.err;
  auto favorites = test::RunCli(run.Dir(), {"favorites"});
  EXPECT_NE(favorites.out.find("http://ex2.5ch.io/news/"), std::string::npos) << favorites.out;
  EXPECT_TRUE(run.Dir().Exists("log/ex2.5ch.io/news/1700000001.dat"))
      << "the favourite's log was lost by an interrupted move:" << run.LogTree();
  EXPECT_TRUE(run.Faults().empty());
}

}  // namespace
}  // namespace velkor
