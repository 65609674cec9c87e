// The find bar's timing on Qt's offscreen platform: a stored thread of 1000 replies of the shared
// generated kind (BenchLog.h) is shown in a tab; each iteration closes the bar and opens it again
// with a word of the thread, as Ctrl+F and typing do.
//
// - FindFirstHighlight/<replies>: with the page scrolled to its end, from the text put into the
//   bar to the page scrolling up to the first match, found and highlighted ("first_highlight_ms",
//   the benchmark's time: the browser reveals the active match before it has counted the others),
//   to the page's answer with the count of every match ("result_ms"), and to the first frame drawn
//   after that answer, the one with every match highlighted ("painted_ms"). "matches" is the count.
//
// Run with QT_QPA_PLATFORM=offscreen (set here when unset).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTabWidget>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <chrono>
#include <string>

#include "BenchLog.h"
#include "GuiBenchSupport.h"
#include "ScratchDir.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "threads/ui/FindBar.h"
#include "threads/ui/ThreadTab.h"
#include "threads/ui/ThreadTabList.h"
#include "threads/ui/ThreadView.h"

namespace velkor {
namespace {

using bench::EpochMs;
using bench::SpinUntil;

const QString kWord = QString::fromUtf8("ワロタ");

// The page's clock (epoch milliseconds) at its next frame; 0 when it never came.
double NextFrameMs(ThreadView* view) {
  view->page()->runJavaScript(
      "window.velkorFrame = 0; requestAnimationFrame(function () {"
      "  window.velkorFrame = performance.timeOrigin + performance.now(); });",
      QWebEngineScript::ApplicationWorld);
  double frame = 0;
  SpinUntil([&] {
    double value = -1;
    view->page()->runJavaScript(
        "window.velkorFrame || 0", QWebEngineScript::ApplicationWorld,
        [&value](const QVariant& result) { value = result.isValid() ? result.toDouble() : 0; });
    if (!SpinUntil([&value] { return value >= 0; }, 5000)) return true;
    frame = value;
    return frame > 0;
  });
  return frame;
}

void BM_FindFirstHighlight(benchmark::State& state, ThreadTabList* list, FindBar* bar) {
  ThreadView* view = list->ActiveTab()->View();
  QWebEnginePage* page = view->page();
  double highlightSum = 0;
  double resultSum = 0;
  double paintedSum = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bar->Close();
    // From the end of the page, so that the page scrolls up to the first match the moment it is
    // found and highlighted: that scroll is what the reader sees first.
    page->runJavaScript("window.scrollTo(0, document.body.scrollHeight)",
                        QWebEngineScript::ApplicationWorld);
    SpinUntil([page] { return page->scrollPosition().y() > 1000; });
    SpinUntil([] { return false; }, 100);
    state.ResumeTiming();
    const double bottom = page->scrollPosition().y();
    double highlight = 0;
    const double start = EpochMs();
    const QMetaObject::Connection scrolled =
        QObject::connect(page, &QWebEnginePage::scrollPositionChanged, [&](const QPointF& at) {
          if (highlight == 0 && at.y() < bottom) highlight = EpochMs() - start;
        });
    const int answers = bar->Answers();
    bar->Open(kWord);
    if (!SpinUntil([&] { return bar->Answers() > answers && bar->MatchCount() > 0; })) {
      state.SkipWithError("the page found nothing");
      break;
    }
    const double result = EpochMs() - start;
    const double painted = NextFrameMs(view) - start;
    SpinUntil([&highlight] { return highlight > 0; }, 5000);
    QObject::disconnect(scrolled);
    if (painted <= 0 || highlight <= 0) {
      state.SkipWithError("the page drew no frame or never went to the first match");
      break;
    }
    state.SetIterationTime(highlight / 1000);
    highlightSum += highlight;
    resultSum += result;
    paintedSum += painted;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["first_highlight_ms"] = highlightSum / n;
  state.counters["result_ms"] = resultSum / n;
  state.counters["painted_ms"] = paintedSum / n;
  state.counters["matches"] = bar->MatchCount();
}

}  // namespace
}  // namespace velkor

int main(int argc, char* argv[]) {
  using namespace velkor;
  bench::PrepareQtEnvironment();
  const bench::ScratchDir scratch("velkor-find-bench-");
  if (scratch.Path().empty()) return 1;
  InitDataDir(scratch.Path());
  const std::string boardDir = LogDir() + "/bench.test/board/";
  MakeDirectories(boardDir);
  ReplaceFile(boardDir + "1700000000.dat", bench::MakeThreadLog(bench::LogShape(1000)));

  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  {
    QTabWidget tabs;
    tabs.resize(1000, 700);
    tabs.show();
    ThreadTabList list;
    list.SetTabControl(&tabs);
    FindBar bar(list, &tabs);
    list.OpenThread(boardDir, "1700000000.dat", "midoku", 1, TabChoice::kNewTab, "bench");
    if (!SpinUntil([&list] { return !list.ActiveTab()->View()->IsLoading(); })) return 1;
    SpinUntil([] { return false; }, 500);

    benchmark::RegisterBenchmark("FindFirstHighlight/1000", BM_FindFirstHighlight, &list, &bar)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    list.CloseAllTabs();
  }
  return 0;
}
