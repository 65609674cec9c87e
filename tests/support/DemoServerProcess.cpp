#include "support/DemoServerProcess.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace velkor::test {

DemoServerProcess::DemoServerProcess(std::vector<std::string> extra, rlim_t fdLimit) {
  int out[2];
  if (pipe(out) != 0) return;
  std::vector<std::string> args = {VELKOR_CLI_PATH, "--data-dir",     ::testing::TempDir(),
                                   "demo-server",   "--step-seconds", "0"};
  args.insert(args.end(), extra.begin(), extra.end());
  pid_ = fork();
  if (pid_ == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = fdLimit > 0 ? fdLimit : limit.rlim_cur;
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(126);
    dup2(out[1], 1);
    close(out[0]);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  lines_ = fdopen(out[0], "r");
  char line[1024];
  for (std::string* into : {&menuUrl, &connectTo}) {
    if (lines_ == nullptr || fgets(line, sizeof line, lines_) == nullptr) return;
    *into = std::string(line);
    if (!into->empty() && into->back() == '\n') into->pop_back();
  }
}

DemoServerProcess::~DemoServerProcess() {
  if (pid_ > 0 && status_ < 0) Stop();
  if (lines_ != nullptr) fclose(lines_);
}

int DemoServerProcess::Stop() {
  kill(pid_, SIGTERM);
  int status = 0;
  status_ = waitpid(pid_, &status, 0) == pid_ ? status : 0x7F00;
  return status_;
}

double DemoServerProcess::CpuSeconds() const {
  std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long long ticks = 0;
  // After the name: state is field 3, utime 14, stime 15.
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::stoll(field);
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

std::vector<std::string> DemoServerProcess::ConnectItems() const {
  std::vector<std::string> items;
  for (std::size_t at = 0; at <= connectTo.size();) {
    std::size_t comma = connectTo.find(',', at);
    items.push_back(connectTo.substr(at, comma == std::string::npos ? comma : comma - at));
    at = comma == std::string::npos ? connectTo.size() + 1 : comma + 1;
  }
  return items;
}

}  // namespace velkor::test
