// The window's own timings, on Qt's offscreen platform, in a generated data directory (a
// 1,100-board list, 100 favourites, one favourite board with stored threads of 1000 and 4000
// replies of the shared generated kind, BenchLog.h):
//
// - GuiOpenThread/<replies>/<first unread>: from the click on a thread row (OpenSelectedThread with
//   the row selected, the thread read up to the given reply) to the page loaded (DocumentLoaded),
//   to the page's first frame, to the first frame showing the unread marker in the upper half of
//   the view (the text where the reader goes on) and to the first frame with the answer counts and
//   IDs (frames are requestAnimationFrame callbacks of a script registered when the document is
//   created, stamped with the page's clock); counters "loaded_ms", "first_frame_ms",
//   "text_shown_ms" and "decorated_ms", the benchmark's time is the text shown.
// - GuiFillList/<threads>: the thread list view filled with a board of that many threads (Fill with
//   its growth repaints, then the pending events).
// - GuiStartup: a child process of this program starts like the real one (data directory,
//   application, main window, UI hooks, show) and reports once the window is exposed and its first
//   events are handled; the time runs from the parent's spawn to that report.
// - GuiImagesWhileScrolling: images set to load automatically, a thread of 1000 replies of which
//   every 20th links a 12-megapixel JPEG on a loopback server (50 images, 4000×3000), opened with
//   an empty image cache; while the page scrolls (a script scrolls it every 16 ms) the 50 images
//   are fetched, stored and get their thumbnails. A 5 ms timer on the window's thread records the
//   longest time between two of its ticks; counters "longest_stall_ms" (that time less the 5 ms),
//   "thumbnails_ms" (page loaded to the 50th thumbnail shown) and "ticks".
// - GuiTabsMemory: proportional set size (PSS) of this process and all its children (the WebEngine
//   processes) with no tab and after opening 1, 5 and 20 threads of 1000 replies in new tabs, each
//   time after 10 s for the hidden tabs to settle; counters in MB, with the growth of the first tab
//   and the mean growth of each further (hidden) tab.
//
// Run with QT_QPA_PLATFORM=offscreen (set here when unset).

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchLog.h"
#include "GuiBenchSupport.h"
#include "ScratchDir.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "images/ui/ImageService.h"
#include "mainwindow/GuiUiHooks.h"
#include "mainwindow/TMainForm.h"
#include "net/ConnectOverrides.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"
#include "subjects/ui/SubjectListView.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"
#include "threads/ui/ThreadViewProfile.h"

extern char** environ;

namespace velkor {
namespace {

using bench::EpochMs;
using bench::SpinUntil;

constexpr int kCategories = 44;
constexpr int kBoardsPerCategory = 25;  // 1,100 boards
constexpr int kFavorites = 100;
constexpr int kMemoryThreads = 20;
const std::string kBoardUrl = "http://bench0.5ch.io/board0/";
constexpr const char* kChildFlag = "--startup-child";
constexpr int kListThreads = 40000;

// A board whose list holds this many threads without logs.
std::string ListBoardUrl(int threads) {
  return "http://bench1.5ch.io/list" + std::to_string(threads) + "/";
}

std::string DatName(int replies, int copy) {
  return std::to_string(1700000000 + replies * 100 + copy) + ".dat";
}

constexpr int kImageEvery = 20;  // every 20th reply links an image: 50 in 1000
const std::string kImageHost = "img.bench.invalid";
const std::string kImageDatName = "1800000000.dat";

// The thread of GuiImagesWhileScrolling: the shared 1000-reply log with an image link at the end
// of every 20th reply's message.
std::string ImageThreadLog() {
  const std::string log = bench::MakeThreadLog(bench::LogShape(1000));
  std::string out;
  int reply = 0;
  for (std::string_view line : SplitLines(log)) {
    ++reply;
    std::string text(line);
    if (reply % kImageEvery == 0) {
      std::size_t at = 0;
      for (int field = 0; field < 4 && at != std::string::npos; ++field) {
        at = text.find("<>", at == 0 && field == 0 ? 0 : at + 2);
      }
      if (at != std::string::npos) {
        text.insert(at, " <br> http://" + kImageHost + "/i/" + std::to_string(reply) + ".jpg ");
      }
    }
    out += text + "\n";
  }
  return out;
}

// A loopback HTTP server that answers every request with the same JPEG, each connection on a
// thread of its own, until the process ends.
class ImageServer {
 public:
  explicit ImageServer(std::string jpeg) : jpeg_(std::move(jpeg)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 64) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
      return;
    }
    port_ = ntohs(addr.sin_port);
    std::thread([this] { Serve(); }).detach();
  }
  unsigned short Port() const { return port_; }

 private:
  void Serve() {
    for (;;) {
      const int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) continue;
      std::thread([this, fd] {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
          pollfd p{fd, POLLIN, 0};
          if (::poll(&p, 1, 10000) <= 0) break;
          const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
          if (n <= 0) break;
          request.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
            std::to_string(jpeg_.size()) + "\r\nConnection: close\r\n\r\n" + jpeg_;
        for (std::size_t sent = 0; sent < answer.size();) {
          const ssize_t n = ::send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) break;
          sent += static_cast<std::size_t>(n);
        }
        ::close(fd);
      }).detach();
    }
  }

  std::string jpeg_;
  int listen_ = -1;
  unsigned short port_ = 0;
};

// A 12-megapixel JPEG (quality 90) of a photograph-like pattern.
std::string LargeJpeg() {
  const QImage image = bench::PhotoLikeImage(4000, 3000);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "jpeg", 90);
  return bytes.toStdString();
}

// Writes the data directory: board list, favourites and the stored threads of the bench board.
void MakeDataDir(const std::string& root) {
  std::filesystem::create_directories(root + "/ini");
  std::string boards;
  std::string favorites;
  for (int c = 0; c < kCategories; ++c) {
    const std::string category = Sjis("カテゴリ") + std::to_string(c);
    boards += "[" + category + "]\r\n";
    if (c * kBoardsPerCategory < kFavorites) favorites += "[" + category + "]\r\n";
    for (int b = 0; b < kBoardsPerCategory; ++b) {
      const int n = c * kBoardsPerCategory + b;
      const std::string line = Sjis("板") + std::to_string(n) + "=http://bench" +
                               std::to_string(n % 7) + ".5ch.io/board" + std::to_string(n) +
                               "/\r\n";
      boards += line;
      if (n < kFavorites) favorites += line;
    }
    boards += "\r\n";
    if (c * kBoardsPerCategory < kFavorites) favorites += "\r\n";
  }
  ReplaceFile(root + "/ini/board.ini", boards);
  ReplaceFile(root + "/ini/subscrib.ini", favorites);

  InitDataDir(root);
  const std::string dir = *SafeBoardDir(kBoardUrl);
  MakeDirectories(dir);
  std::string subjects;
  int rank = 0;
  auto addThread = [&](int replies, int copy) {
    const std::string log = bench::MakeThreadLog(bench::LogShape(replies));
    const std::string dat = DatName(replies, copy);
    ReplaceFile(dir + dat, log);
    ++rank;
    subjects += "[" + dat + "]\r\nNowNo=" + std::to_string(rank) +
                "\r\nPreNo=" + std::to_string(rank) + "\r\nResCount=" + std::to_string(replies) +
                "\r\nTitle=" + Sjis("ベンチマークのスレッド") + std::to_string(rank) +
                "\r\nGotCount=" + std::to_string(replies) +
                "\r\nUnread=1\r\nDatSize=" + std::to_string(log.size()) + "\r\n\r\n";
  };
  addThread(1000, 0);
  addThread(4000, 0);
  for (int copy = 1; copy <= kMemoryThreads; ++copy) addThread(1000, copy);
  const std::string imageLog = ImageThreadLog();
  ReplaceFile(dir + kImageDatName, imageLog);
  subjects += "[" + kImageDatName +
              "]\r\nNowNo=999\r\nPreNo=999\r\nResCount=1000\r\nTitle=" + Sjis("画像のスレッド") +
              "\r\nGotCount=1000\r\nUnread=1\r\nDatSize=" + std::to_string(imageLog.size()) +
              "\r\n\r\n";
  ReplaceFile(dir + "subject.ini", subjects);

  for (int threads : {kListThreads / 4, kListThreads}) {
    const std::string listDir = *SafeBoardDir(ListBoardUrl(threads));
    MakeDirectories(listDir);
    std::string ini;
    for (int i = 0; i < threads; ++i) {
      ini += "[" + std::to_string(1600000000 + i) + ".dat]\r\nNowNo=" + std::to_string(i + 1) +
             "\r\nPreNo=" + std::to_string(i + 1) + "\r\nResCount=" + std::to_string(1 + i % 999) +
             "\r\nTitle=" + Sjis("ベンチマークのスレッド") + std::to_string(i) + "\r\n\r\n";
    }
    ReplaceFile(listDir + "subject.ini", ini);
  }
}

// A value of the page's application world, as a number (0 when unset).
double PageNumber(ThreadView* view, const QString& expression) {
  double value = -1;
  view->page()->runJavaScript(
      expression, QWebEngineScript::ApplicationWorld,
      [&value](const QVariant& result) { value = result.isValid() ? result.toDouble() : 0; });
  if (!SpinUntil([&] { return value >= 0; })) return 0;
  return value;
}

// The main window of the benchmarks, made once and shown.
struct Window {
  Window() : hooks(&form) {
    SetUiHooks(&hooks);
    form.show();
    SpinUntil(
        [this] { return form.windowHandle() != nullptr && form.windowHandle()->isExposed(); });
    form.Subjects().Bind(*SafeBoardDir(kBoardUrl) + "subject.ini");
    view = form.findChild<SubjectListView*>();
  }
  ~Window() { SetUiHooks(nullptr); }

  struct Times {
    double loaded = 0;
    double firstFrame = 0;
    double textShown = 0;
    double decorated = 0;
  };

  // Opens the thread from its row as a click does; returns the times in ms after the click (zero
  // when that did not happen).
  Times Open(const std::string& datName, int firstUnread = 1) {
    form.Subjects().SetUnread(datName, firstUnread, false);
    view->Fill(ShowTypeMask(ShowType::kAll));
    view->selectRow(form.Subjects().IndexOfDat(datName));
    const double click = EpochMs();
    form.OpenSelectedThread(true);
    ThreadTab* tab = ThreadTabs().ActiveTab();
    if (tab == nullptr || !SpinUntil([tab] { return !tab->View()->IsLoading(); })) return {};
    Times times;
    times.loaded = EpochMs() - click;
    const auto stamp = [&](const char* name) {
      double at = 0;
      SpinUntil(
          [&] {
            at = PageNumber(tab->View(), QStringLiteral("window.%1 || 0").arg(name));
            return at > 0;
          },
          10000);
      return at > 0 ? at - click : 0;
    };
    times.firstFrame = stamp("velkorFirstFrame");
    times.textShown = stamp("velkorTextShown");
    times.decorated = stamp("velkorDecorated");
    return times;
  }

  TMainForm form;
  GuiUiHooks hooks;
  SubjectListView* view = nullptr;
};

std::unique_ptr<Window> theWindow;  // made on first use, gone before the application object

Window& TheWindow() {
  if (!theWindow) theWindow = std::make_unique<Window>();
  return *theWindow;
}

void BM_GuiOpenThread(benchmark::State& state) {
  Window& window = TheWindow();
  const std::string dat = DatName(static_cast<int>(state.range(0)), 0);
  Window::Times sum;
  for (auto _ : state) {
    const Window::Times times = window.Open(dat, static_cast<int>(state.range(1)));
    if (times.textShown <= 0 || times.decorated <= 0) {
      state.SkipWithError("the page did not load, paint or get its decorations");
      break;
    }
    state.SetIterationTime(times.textShown / 1000);
    sum.loaded += times.loaded;
    sum.firstFrame += times.firstFrame;
    sum.textShown += times.textShown;
    sum.decorated += times.decorated;
    state.PauseTiming();
    ThreadTabs().CloseAllTabs();
    SpinUntil([] { return false; }, 200);
    state.ResumeTiming();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["loaded_ms"] = sum.loaded / n;
  state.counters["first_frame_ms"] = sum.firstFrame / n;
  state.counters["text_shown_ms"] = sum.textShown / n;
  state.counters["decorated_ms"] = sum.decorated / n;
}

void BM_GuiFillList(benchmark::State& state) {
  Window& window = TheWindow();
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    window.form.Subjects().Bind(*SafeBoardDir(ListBoardUrl(threads)) + "subject.ini");
    state.ResumeTiming();
    window.view->Fill(ShowTypeMask(ShowType::kAll));
    QCoreApplication::processEvents();
  }
  state.counters["rows"] = static_cast<double>(window.form.Subjects().RowCount());
  window.form.Subjects().Bind(*SafeBoardDir(kBoardUrl) + "subject.ini");
}

void BM_GuiImagesWhileScrolling(benchmark::State& state) {
  Window& window = TheWindow();
  static ImageServer server(LargeJpeg());
  if (server.Port() == 0 ||
      !AddConnectOverrides({kImageHost + "=127.0.0.1:" + std::to_string(server.Port())}).IsOk()) {
    state.SkipWithError("no image server");
    return;
  }
  // Argument 0: the same scrolling for 5 s with images off, for the window's own stalls.
  const bool withImages = state.range(0) != 0;
  AppSettings().imageLoad =
      withImages ? Settings::ImageLoad::kAutomatic : Settings::ImageLoad::kNever;
  ImageService* images = ImageService::Current();
  double stallMax = 0;
  int over50 = 0;
  double thumbnailsSum = 0;
  double ticksSum = 0;
  for (auto _ : state) {
    ThreadTabs().CloseAllTabs();
    (void)ImageService::ClearCache();
    int ready = 0;
    const QMetaObject::Connection counting =
        QObject::connect(images, &ImageService::ImageChanged, [&ready, images](const QString& url) {
          if (images->Find(url.toStdString()).state == ImageService::Image::kReady) ++ready;
        });
    if (window.Open(kImageDatName).loaded <= 0) {
      state.SkipWithError("the page did not load");
      break;
    }
    ThreadView* view = ThreadTabs().ActiveTab()->View();
    QElapsedTimer clock;
    clock.start();
    qint64 lastTick = 0;
    qint64 longest = 0;
    int ticks = 0;
    QTimer monitor;
    QObject::connect(&monitor, &QTimer::timeout, [&] {
      const qint64 now = clock.nsecsElapsed();
      longest = std::max(longest, now - lastTick);
      if (now - lastTick > 55'000'000) ++over50;
      lastTick = now;
      ++ticks;
    });
    monitor.start(5);
    QTimer scroll;
    QObject::connect(&scroll, &QTimer::timeout, [view] {
      view->page()->runJavaScript(
          "if (window.innerHeight + window.scrollY >= document.body.scrollHeight) "
          "window.scrollTo(0, 0); else window.scrollBy(0, 60);",
          QWebEngineScript::ApplicationWorld);
    });
    scroll.start(16);
    const bool all = withImages
                         ? SpinUntil([&ready] { return ready >= 1000 / kImageEvery; }, 300000)
                         : !SpinUntil([] { return false; }, 5000);
    const double thumbnailsMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    monitor.stop();
    scroll.stop();
    QObject::disconnect(counting);
    if (!all) {
      state.SkipWithError("not every thumbnail came");
      break;
    }
    state.SetIterationTime(thumbnailsMs / 1000);
    stallMax = std::max(stallMax, static_cast<double>(longest) / 1e6 - 5);
    thumbnailsSum += thumbnailsMs;
    ticksSum += ticks;
  }
  ThreadTabs().CloseAllTabs();
  AppSettings().imageLoad = Settings::ImageLoad::kOnClick;
  const double n = static_cast<double>(state.iterations());
  state.counters["longest_stall_ms"] = stallMax;
  state.counters["stalls_over_50ms"] = over50;
  state.counters["thumbnails_ms"] = thumbnailsSum / n;
  state.counters["ticks"] = ticksSum / n;
}

// PSS in kB of the process and all its descendants.
long long TreePssKb() {
  std::map<int, int> parents;
  if (DIR* proc = ::opendir("/proc")) {
    while (dirent* entry = ::readdir(proc)) {
      const int pid = std::atoi(entry->d_name);
      if (pid <= 0) continue;
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::string line;
      std::getline(stat, line);
      const std::size_t close = line.rfind(')');
      if (close == std::string::npos) continue;
      char status = 0;
      int parent = 0;
      if (std::sscanf(line.c_str() + close + 1, " %c %d", &status, &parent) == 2) {
        parents[pid] = parent;
      }
    }
    ::closedir(proc);
  }
  const int self = static_cast<int>(::getpid());
  long long total = 0;
  for (const auto& [pid, parent] : parents) {
    int up = pid;
    while (up != self && up > 1 && parents.count(up)) up = parents[up];
    if (up != self) continue;
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    long long kb = 0;
    while (rollup >> key) {
      if (key == "Pss:") {
        rollup >> kb;
        total += kb;
        break;
      }
      rollup.ignore(1 << 20, '\n');
    }
  }
  return total;
}

void BM_GuiTabsMemory(benchmark::State& state) {
  Window& window = TheWindow();
  auto settledPssMb = [] {
    // Hidden tabs are frozen, later discarded, as the pages recommend.
    SpinUntil([] { return false; }, 10000);
    return static_cast<double>(TreePssKb()) / 1024;
  };
  std::map<int, double> pss;  // open tabs -> MB
  for (auto _ : state) {
    ThreadTabs().CloseAllTabs();
    pss[0] = settledPssMb();
    for (int copy = 1; copy <= kMemoryThreads; ++copy) {
      if (window.Open(DatName(1000, copy)).textShown <= 0)
        state.SkipWithError("a page did not load");
      if (copy == 1 || copy == 5 || copy == kMemoryThreads) pss[copy] = settledPssMb();
    }
  }
  for (const auto& [tabs, mb] : pss) state.counters["pss_" + std::to_string(tabs) + "_mb"] = mb;
  state.counters["first_tab_mb"] = pss[1] - pss[0];
  state.counters["per_hidden_tab_mb"] = (pss[kMemoryThreads] - pss[1]) / (kMemoryThreads - 1);
}

void BM_GuiStartup(benchmark::State& state, const std::string& root) {
  for (auto _ : state) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
      state.SkipWithError("no pipe");
      break;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::string self = std::filesystem::read_symlink("/proc/self/exe");
    std::string flag = kChildFlag;
    std::string dir = root;
    char* argv[] = {self.data(), flag.data(), dir.data(), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int rc = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    char byte = 0;
    const bool shown = rc == 0 && ::read(pipeFds[0], &byte, 1) == 1;
    const auto end = std::chrono::steady_clock::now();
    ::close(pipeFds[0]);
    if (rc == 0) ::waitpid(child, nullptr, 0);
    if (!shown) {
      state.SkipWithError("the child did not show its window");
      break;
    }
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
  }
}

// The child of BM_GuiStartup: starts like the program and reports the shown window on stdout.
int RunStartupChild(int argc, char* argv[]) {
  InitDataDir(argv[2]);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  TMainForm form;
  GuiUiHooks hooks(&form);
  SetUiHooks(&hooks);
  form.show();
  SpinUntil([&form] { return form.windowHandle() != nullptr && form.windowHandle()->isExposed(); });
  QCoreApplication::processEvents();
  std::fputc('1', stdout);
  std::fflush(stdout);
  std::_Exit(0);
}

}  // namespace
}  // namespace velkor

int main(int argc, char* argv[]) {
  using namespace velkor;
  bench::PrepareQtEnvironment();
  if (argc >= 3 && std::strcmp(argv[1], kChildFlag) == 0) return RunStartupChild(argc, argv);

  const bench::ScratchDir scratch("velkor-gui-bench-");
  const std::string& root = scratch.Path();
  if (root.empty()) return 1;
  MakeDataDir(root);

  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QWebEngineScript frameStamp;
  frameStamp.setInjectionPoint(QWebEngineScript::DocumentCreation);
  frameStamp.setWorldId(QWebEngineScript::ApplicationWorld);
  frameStamp.setSourceCode(
      "(function () {"
      "  function tick() {"
      "    var now = performance.timeOrigin + performance.now();"
      "    if (!window.velkorFirstFrame) window.velkorFirstFrame = now;"
      "    if (!window.velkorDecorated) requestAnimationFrame(tick);"
      "    check(now);"
      "  }"
      "  function check(now) {"
      "    if (window.velkorDecorated) return;"
      "    var body = document.body;"
      "    var marker = document.anchors && document.anchors.namedItem('midoku');"
      "    if (!window.velkorTextShown && marker) {"
      "      var top = marker.getBoundingClientRect().top;"
      "      if (top >= -2 && top < window.innerHeight / 2) window.velkorTextShown = now;"
      "    }"
      "    if (body && body.hasAttribute('data-velkor-decorated')) window.velkorDecorated = now;"
      "  }"
      "  requestAnimationFrame(tick);"
      "})();");
  ThreadViewProfile()->scripts()->insert(frameStamp);

  benchmark::RegisterBenchmark("GuiStartup", BM_GuiStartup, root)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(5);
  benchmark::RegisterBenchmark("GuiOpenThread", BM_GuiOpenThread)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(5)
      ->Args({1000, 1})
      ->Args({1000, 501})
      ->Args({4000, 1});
  benchmark::RegisterBenchmark("GuiFillList", BM_GuiFillList)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(3)
      ->Arg(kListThreads / 4)
      ->Arg(kListThreads);
  benchmark::RegisterBenchmark("GuiImagesWhileScrolling", BM_GuiImagesWhileScrolling)
      ->Unit(benchmark::kMillisecond)
      ->UseManualTime()
      ->Iterations(3)
      ->Arg(0)
      ->Arg(1);
  benchmark::RegisterBenchmark("GuiTabsMemory", BM_GuiTabsMemory)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ThreadTabs().CloseAllTabs();
  theWindow.reset();
  return 0;
}
