#include <unistd.h>
#include <QApplication>
#include <QMessageBox>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/DataDir.h"
#include "app/StartupOptions.h"
#include "app/StrayTempFiles.h"
#include "base/FileUtil.h"
#include "base/SingleInstanceLock.h"
#include "mainwindow/BrowserLogs.h"
#include "mainwindow/BrowserSandbox.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/InstanceChannel.h"
#include "mainwindow/NativeLook.h"
#include "mainwindow/RunBoardMenuUpdate.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"

using namespace velkor;

namespace {

// How long a second start waits for the running program to take its request.
constexpr int kRaiseWaitMs = 2000;

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<std::string> args(argv + 1, argv + argc);
  StartupOptions options;
  std::string error;
  if (!ParseStartupOptions(args, options, error)) {
    std::fprintf(stderr, "velkor: %s\n", error.c_str());
    return 2;
  }
  Outcome overrides = AddConnectOverridesFromEnvironment();
  if (overrides.IsOk()) overrides = AddConnectOverrides(options.connectTo);
  if (!overrides.IsOk()) {
    std::fprintf(stderr, "velkor: %s\n", overrides.Reason().c_str());
    return 2;
  }
  InitDataDir(options.dataDir.empty() ? ExecutableDir() : options.dataDir);
  // A file that outgrows the file size limit is a failed write (EFBIG), reported as any other,
  // rather than the end of the window.
  std::signal(SIGXFSZ, SIG_IGN);

  DisableBrowserSandboxForRoot(::geteuid(), stderr);
  QuietBrowserLogs();
  // The thread views (Qt WebEngine) share OpenGL contexts with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Velkor");
  LoadQtTranslations(app);

  // One running program per data directory; a second start brings its window to the front.
  SingleInstanceLock lock;
  switch (lock.Acquire(IniDir() + "/velkor.lock")) {
    case SingleInstanceLock::Result::kAcquired:
      break;
    case SingleInstanceLock::Result::kHeldElsewhere:
      if (!InstanceChannel::AskToRaise(AppDir(), kRaiseWaitMs)) {
        std::fprintf(stderr, "velkor: Velkor is already running on %s\n", AppDir().c_str());
      }
      return 0;
    case SingleInstanceLock::Result::kFailed:
      QMessageBox::critical(nullptr, "velkor", QString::fromLocal8Bit(std::strerror(errno)));
      return 0;
  }
  // What a crash left half-written; only the holder of the lock may clean, before it writes.
  StrayTempFiles::Remove();

  TMainForm mainForm;
  GuiUiHooks hooks(&mainForm);
  SetUiHooks(&hooks);
  InstanceChannel channel;
  channel.Listen(AppDir(), [&mainForm] {
    if (mainForm.isMinimized()) mainForm.showNormal();
    mainForm.show();
    mainForm.raise();
    mainForm.activateWindow();
  });

  if (options.boardMenuSwitch) {
    RunBoardMenuUpdate(&mainForm, true, false);
  } else if (!FileExists(IniDir() + "/board.ini")) {
    RunBoardMenuUpdate(&mainForm, false, true);
  }

  mainForm.show();
  mainForm.RestoreSession();
  QApplication::exec();
  SetUiHooks(nullptr);
  return 0;
}
