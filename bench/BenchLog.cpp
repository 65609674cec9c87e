#include "BenchLog.h"

#include <vector>

#include "base/Sjis.h"

namespace velkor::bench {
namespace {

constexpr int kPhrasesPerLine = 7;

// A small deterministic generator, so every machine makes the same logs.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed != 0 ? seed : 1) {}
  std::size_t Below(std::size_t n) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::size_t>(state_ % n);
  }

 private:
  std::uint64_t state_;
};

const std::vector<std::string>& Phrases() {
  static const std::vector<std::string> phrases = [] {
    std::vector<std::string> list;
    for (const char* utf8 : {"これはベンチマーク用の書き込みです。",
                             "日本語の本文がしばらく続きます。",
                             "それは違うと思う",
                             "今日は雨が降っている",
                             "スレッドを立てました",
                             "ＩＤ変わった？",
                             "ワロタ",
                             "この板は平和だな",
                             "sage進行で",
                             "ソースはどこ？",
                             "ＵＰ主乙",
                             "Linux",
                             " kernel ",
                             "テスト",
                             "ＡＢＣ",
                             " release 2.0 ",
                             "ちょっと待て",
                             "見てきた",
                             "なるほど",
                             "予報では明日も雨"}) {
      list.push_back(Sjis(utf8));
    }
    return list;
  }();
  return phrases;
}

std::string FullWidthNumber(int n) {
  static const std::string digits[] = {Sjis("０"), Sjis("１"), Sjis("２"), Sjis("３"), Sjis("４"),
                                       Sjis("５"), Sjis("６"), Sjis("７"), Sjis("８"), Sjis("９")};
  std::string text;
  for (char c : std::to_string(n)) text += digits[c - '0'];
  return text;
}

void AppendReply(std::string& log, int k, const LogShape& shape, Random& random, bool plant) {
  static const std::string name = Sjis("名無しさん");
  static const std::string trip = Sjis("</b>◆Trip") + "AbC <b>";
  static const std::string date = "<>2026/12/07(" + Sjis("月") + ") 12:34:56.78 ID:";
  static const std::string fullWidthMarker = Sjis("＞＞");
  static const std::string advert = Sjis("宣伝") + " http://spam.example/";
  static const std::string title = Sjis("ベンチマークのスレッド");
  const int a = k > 1 ? 1 + (k * 31) % (k - 1) : 1;
  const int b = k > 2 ? 1 + (k * 17) % (k - 1) : 1;
  log += name;
  if (k % 10 == 0) log += trip;
  log += "<>";
  if (k % 3 == 0) log += "sage";
  log += date + PosterId(k) + "<> ";
  log += "<a href=\"../test/read.cgi/board/1234567890/" + std::to_string(a) +
         "\" target=\"_blank\">&gt;&gt;" + std::to_string(a) + "</a> <br> ";
  if (k % 4 == 0) log += fullWidthMarker + FullWidthNumber(b) + " ";
  if (k % 9 == 0) log += "&gt;&gt;" + std::to_string(b) + "-" + std::to_string(b + 2) + " ";
  if (k % 11 == 0) log += "&gt;&gt;" + std::to_string(a) + "," + std::to_string(b) + " ";
  for (int line = 0; line < shape.lines; ++line) {
    for (int i = 0; i < kPhrasesPerLine; ++i) log += Phrases()[random.Below(Phrases().size())];
    log += " <br> ";
  }
  log += "http://example.com/path/" + std::to_string(k) + "?q=a&amp;b=c <br> ";
  if (k % 3 == 0) log += "ttp://ime.nu/www.example.org/page.html <br> ";
  log += "&quot;" + Phrases()[0] + "&quot; &lt;tag&gt; &amp; &nbsp;";
  if (k % 97 == 0) log += " <br> " + advert;
  if (plant) log += " " + std::string(shape.plant);
  log += "<>";
  if (k == 1) log += title;
  log += "\n";
}

}  // namespace

std::string MakeThreadLog(const LogShape& shape) {
  Random random(shape.seed);
  std::string log;
  bool planted = shape.plant.empty();
  for (int k = 1; k <= shape.replies || log.size() < shape.minBytes; ++k) {
    const std::size_t start = log.size();
    const Random before = random;
    AppendReply(log, k, shape, random, false);
    if (!planted && log.size() >= shape.plantAfter) {
      // The same reply again, with the word.
      log.resize(start);
      random = before;
      AppendReply(log, k, shape, random, true);
      planted = true;
    }
  }
  return log;
}

std::string PosterId(int reply) {
  const int poster = reply % 6 == 1 ? 0 : 1 + (reply * 7919) % 59;
  return "Id" + std::to_string(poster) + "xYz0";
}

}  // namespace velkor::bench
