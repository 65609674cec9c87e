#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace velkor::test {

// A `velkor-cli demo-server --step-seconds 0` process (with `extra` arguments) and the two lines it
// printed once listening. It is stopped when the object goes, and ends with the test process even
// when that dies.
class DemoServerProcess {
 public:
  // `fdLimit` > 0: the server runs with that soft limit of open descriptors.
  explicit DemoServerProcess(std::vector<std::string> extra, rlim_t fdLimit = 0);
  ~DemoServerProcess();
  DemoServerProcess(const DemoServerProcess&) = delete;
  DemoServerProcess& operator=(const DemoServerProcess&) = delete;

  // SIGTERM; the exit status as waitpid gives it.
  int Stop();
  // Seconds of CPU the server process has used so far (user and system), from /proc.
  double CpuSeconds() const;
  // The port of the printed connect value.
  std::string Port() const { return connectTo.substr(connectTo.rfind(':') + 1); }
  // The printed connect value as separate --connect-to values.
  std::vector<std::string> ConnectItems() const;

  std::string menuUrl;
  std::string connectTo;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  FILE* lines_ = nullptr;
};

}  // namespace velkor::test
