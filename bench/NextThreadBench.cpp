// Scoring next-thread candidates over a board's list.
//
// The list is generated: series of 40 subjects written in the forms boards use ("Part39",
// "その39", "★39", "39スレ目", full-width digits, tags in brackets, character references), a few
// parts of each, and one-off threads made of the same words between them. The old thread has the
// smallest key, so every thread of the list is scored.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/Sjis.h"
#include "threads/NextThread.h"

namespace velkor {
namespace {

const char* const kSubjects[] = {
    "ポケモンSV",
    "エルデンリング",
    "ラーメン二郎",
    "プロ野球ドラフト総合",
    "今日のお昼ごはん",
    "ニュース速報",
    "猫を飼っている人",
    "将棋総合",
    "プログラミング初心者質問",
    "アクアリウム総合",
    "メダカ飼育",
    "深夜ラジオ総合",
    "自作PC相談室",
    "FF14",
    "艦これ改",
    "iPhone総合",
    "大谷翔平",
    "鉄道模型総合",
    "プロ野球ニュース",
    "家庭菜園を語る",
    "サッカー日本代表",
    "競馬予想",
    "深夜アニメ実況",
    "阪神タイガース",
    "ファイナルファンタジー16",
    "ドラゴンクエスト10",
    "モンスターハンター",
    "株式投資",
    "仮想通貨",
    "英語学習",
    "筋トレ総合",
    "自転車通勤",
    "キャンプ道具",
    "登山総合",
    "カメラ初心者",
    "Linux初心者",
    "C++相談室",
    "宅建試験",
    "簿記検定",
    "ゲーム実況者",
};

std::string FullWidth(int n) {
  static const std::string digits[] = {Sjis("０"), Sjis("１"), Sjis("２"), Sjis("３"), Sjis("４"),
                                       Sjis("５"), Sjis("６"), Sjis("７"), Sjis("８"), Sjis("９")};
  std::string out;
  for (char c : std::to_string(n)) out += digits[c - '0'];
  return out;
}

std::string Title(int subject, int part) {
  const std::string name = Sjis(kSubjects[subject % 40]);
  const std::string n = std::to_string(part);
  switch (subject % 6) {
    case 0:
      return name + " Part" + n;
    case 1:
      return Sjis("【PS5】") + name + " part." + n + Sjis("【ワッチョイ】");
    case 2:
      return name + Sjis(" その") + n;
    case 3:
      return Sjis("【実況】") + name + Sjis("★") + n + Sjis(" [無断転載禁止]") + "&#169;2ch.net";
    case 4:
      return name + Sjis("のスレ ") + n + Sjis("スレ目");
    default:
      return "&#127775;" + name + Sjis(" Ｐａｒｔ") + FullWidth(part);
  }
}

std::vector<ThreadEntry> MakeBoard(int threads) {
  std::vector<ThreadEntry> board;
  board.reserve(threads);
  for (int i = 0; i < threads; ++i) {
    const std::string key = std::to_string(1700000001 + i * 37);
    if (i % 3 == 2) {
      // A one-off thread from the same words.
      board.push_back({key,
                       Sjis(kSubjects[(i * 7) % 40]) + Sjis("について語ろう ") +
                           Sjis(kSubjects[(i * 11) % 40]) + Sjis("【雑談】"),
                       i % 1000});
    } else {
      board.push_back({key, Title(i % 40, 30 + i / 40), i % 1000});
    }
  }
  return board;
}

void BM_FindNextThreads(benchmark::State& state) {
  const std::vector<ThreadEntry> board = MakeBoard(static_cast<int>(state.range(0)));
  const ThreadEntry old{"1700000000", Title(0, 39), 1000};
  std::size_t found = 0;
  for (auto _ : state) {
    const std::vector<NextThreadCandidate> candidates = FindNextThreads(old, board, 5);
    found = candidates.size();
    benchmark::DoNotOptimize(candidates.data());
  }
  state.counters["candidates"] = static_cast<double>(found);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FindNextThreads)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velkor
