#include "demo/DemoNetwork.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>

#include "base/Sjis.h"

namespace velkor::demo {
namespace {

// splitmix64: small, fast and the same on every platform, so the network is the same on every
// start.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(items.size())))];
  }

 private:
  std::uint64_t state_;
};

std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
  return Random(a * 0x100000001B3ull ^ b).Next();
}

// A table of UTF-8 texts turned into Shift_JIS once.
std::vector<std::string> SjisTable(std::initializer_list<std::string_view> texts) {
  std::vector<std::string> table;
  for (std::string_view text : texts) table.push_back(Sjis(text));
  return table;
}

struct BoardSpec {
  std::string_view category;
  std::string_view name;
  std::string_view host;
  std::string_view dir;
  // SETTING.TXT: BBS_NONAME_NAME, BBS_MESSAGE_COUNT, BBS_LINE_NUMBER, BBS_NAME_COUNT,
  // BBS_MAIL_COUNT, BBS_SUBJECT_COUNT.
  std::string_view noName;
  int messageCount;
  int lineNumber;
  int nameCount;
  int mailCount;
  int subjectCount;
};

constexpr std::array<BoardSpec, 8> kBoards = {{
    {"ニュース", "ニュース速報", "asahi.5ch.io", "newsplus", "名無しさん＠お腹いっぱい。", 4096, 32,
     64, 64, 128},
    {"ニュース", "芸能速報", "kizuna.5ch.io", "mnewsplus", "名無しさん", 2048, 32, 64, 64, 96},
    {"ニュース", "科学ニュース", "asahi.5ch.io", "scinews", "名無しのひみつ", 2048, 32, 64, 64, 96},
    {"趣味", "鉄道総合", "kizuna.5ch.io", "train", "名無しの鉄オタ", 2048, 32, 64, 64, 96},
    {"趣味", "料理", "hayabusa.5ch.io", "cook", "名無しさん", 1024, 16, 48, 32, 64},
    {"趣味", "将棋・囲碁", "hayabusa.5ch.io", "bgame", "名無し名人", 2048, 32, 64, 64, 96},
    {"雑談", "雑談系", "mao.5ch.io", "zatsudan", "名無しさん", 2048, 32, 64, 64, 96},
    {"雑談", "なんでも実況", "mao.5ch.io", "livejupiter", "風吹けば名無し", 2048, 20, 96, 64, 96},
}};

const std::vector<std::string>& Topics() {
  static const auto table = SjisTable({"新型スマホ",
                                       "円安",
                                       "大雪",
                                       "宇宙ステーション",
                                       "新幹線",
                                       "カレー",
                                       "ラーメン",
                                       "藤井竜王",
                                       "量子コンピュータ",
                                       "年末ジャンボ",
                                       "電気代",
                                       "在来線",
                                       "はやぶさ3号",
                                       "冬のボーナス",
                                       "AI画像",
                                       "炊飯器",
                                       "鍋料理",
                                       "寝台特急",
                                       "地方路線",
                                       "タイトル戦",
                                       "新人俳優",
                                       "紅白歌合戦",
                                       "ロケット打ち上げ",
                                       "プログラミング",
                                       "猫",
                                       "コンビニ弁当",
                                       "Q&amp;A",
                                       "&quot;神&quot;アプデ",
                                       "&lt;悲報&gt;",
                                       "ダイヤ改正"});
  return table;
}

const std::vector<std::string>& TitleForms() {
  // %T: a topic; %N: a part number.
  static const auto table =
      SjisTable({"【速報】%Tが話題に", "%Tについて語るスレ Part%N", "%T総合スレ★%N",
                 "【悲報】%T、終わる", "%Tの思い出を書いていけ", "【朗報】%Tが値下げ",
                 "%Tってどうなの？", "お前らの%T事情 %N", "【実況】%Tを見守るスレ",
                 "%Tで打線組んだｗｗｗ", "%Tが好きな人の数→", "%T初心者スレ その%N"});
  return table;
}

// Titles of threads that come in series, a thread and its successor: %T a topic, %N the part
// number, %W the same in full-width digits.
const std::vector<std::string>& SeriesForms() {
  static const auto table =
      SjisTable({"%Tについて語るスレ Part%N", "%T総合スレ その%N", "【定期】%T情報交換★%N",
                 "%Tを語る %Nスレ目", "%T雑談 Part%W", "%T総合★%W"});
  return table;
}

// The part numbers of the series, of the full thread; its successor has the next. 9 and 99 grow a
// digit.
constexpr std::array<int, 8> kSeriesNumbers = {12, 39, 9, 99, 4, 21, 150, 7};

const std::vector<std::string>& Names() {
  static const auto table =
      SjisTable({"名無しさん", "名無しさん＠お腹いっぱい。", "風吹けば名無し", "名無しさん",
                 "名無しさん", "以下、名無しにかわりましてVIPがお送りします", "名無しの鉄オタ",
                 "名無しさん</b>◆Ab3dEf9hIj<b>", "774"});
  return table;
}

const std::vector<std::string>& Mails() {
  static const std::vector<std::string> table = {"", "", "", "sage", "sage", "age"};
  return table;
}

const std::vector<std::string>& Sentences() {
  static const auto table = SjisTable({"それな",
                                       "わかる",
                                       "今日は寒いな",
                                       "これは草",
                                       "ソースは？",
                                       "まじかよ",
                                       "昔は良かった",
                                       "いや違うだろ",
                                       "詳しい人教えて",
                                       "普通においしい",
                                       "なるほどね",
                                       "値段が高すぎる",
                                       "明日も仕事だわ",
                                       "ちょっと何言ってるかわからない",
                                       "一理ある",
                                       "それは&quot;神&quot;",
                                       "A&amp;Bの違いがわからん",
                                       "3&lt;5 は常識",
                                       "ワイもそう思う",
                                       "ここまで読んだ人いる？",
                                       "つまらん",
                                       "よくやった",
                                       "ほんこれ",
                                       "このスレ伸びるな",
                                       "今北産業",
                                       "乙",
                                       "もう寝ろ"});
  return table;
}

const std::vector<std::string>& ArtLines() {
  static const auto table = SjisTable(
      {"　 ∧＿∧", "　（　´∀｀）＜　オマエモナー", "　（　　　　）", "　｜ ｜　|", "　（_＿）＿）"});
  return table;
}

const std::vector<std::string>& Links() {
  static const std::vector<std::string> table = {
      "https://example.com/news/2026/12/",
      "http://www.example.org/article?id=", "ttp://example.net/img/",
      "https://example.jp/blog/entry-"};
  return table;
}

}  // namespace

std::string DemoDate(long long when, int hundredths) {
  static const auto weekdays = SjisTable({"日", "月", "火", "水", "木", "金", "土"});
  std::time_t t = static_cast<std::time_t>(when + 9 * 3600);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char head[32];
  std::snprintf(head, sizeof head, "%04d/%02d/%02d(", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  char tail[32];
  std::snprintf(tail, sizeof tail, ") %02d:%02d:%02d.%02d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                hundredths);
  return head + weekdays[static_cast<std::size_t>(tm.tm_wday)] + tail;
}

namespace {

std::string IdText(Random& random) {
  static constexpr std::string_view kChars =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string id;
  for (int i = 0; i < 8; ++i) id += kChars[static_cast<std::size_t>(random.Below(64))];
  return id + "0";
}

// Full-width digits for a number, as people type anchors like "＞＞１２".
std::string FullWidthNumber(int n) {
  static const auto digits =
      SjisTable({"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"});
  std::string text;
  for (char c : std::to_string(n)) text += digits[static_cast<std::size_t>(c - '0')];
  return text;
}

std::string Fill(std::string text, const std::string& topic, int number) {
  for (std::size_t at; (at = text.find("%T")) != std::string::npos;) text.replace(at, 2, topic);
  for (std::size_t at; (at = text.find("%N")) != std::string::npos;) {
    text.replace(at, 2, std::to_string(number));
  }
  for (std::size_t at; (at = text.find("%W")) != std::string::npos;) {
    text.replace(at, 2, FullWidthNumber(number));
  }
  return text;
}

// Which of a thread's heavy posters wrote reply `number`: 0 (who also started the thread), 1, 2,
// or -1 for anyone else. About a third of the replies come from them.
int HeavyPoster(int board, long long key, int number) {
  if (number == 1) return 0;
  std::uint64_t roll =
      Mix(Mix(0x4EA7, static_cast<std::uint64_t>(board) << 40 ^ static_cast<std::uint64_t>(key)),
          static_cast<std::uint64_t>(number)) %
      100;
  return roll < 14 ? 0 : roll < 24 ? 1 : roll < 32 ? 2 : -1;
}

// A heavy poster's ID: the same all day (Japan time), another the next day.
std::string HeavyId(int board, long long key, int poster, long long when) {
  long long day = (when + 9 * 3600) / (24 * 3600);
  Random random(Mix(Mix(static_cast<std::uint64_t>(board), static_cast<std::uint64_t>(key)),
                    static_cast<std::uint64_t>(day * 8 + poster)));
  return IdText(random);
}

}  // namespace

DemoNetwork::DemoNetwork(std::string scheme, long long now)
    : scheme_(std::move(scheme)), start_(now) {
  for (std::size_t b = 0; b < kBoards.size(); ++b) {
    Board board;
    board.index = static_cast<int>(b);
    board.category = Sjis(kBoards[b].category);
    board.name = Sjis(kBoards[b].name);
    board.host = std::string(kBoards[b].host);
    board.dir = std::string(kBoards[b].dir);
    board.subjectModified = now;
    board.settings = {Sjis(kBoards[b].noName), kBoards[b].messageCount, kBoards[b].lineNumber,
                      kBoards[b].nameCount,    kBoards[b].mailCount,    kBoards[b].subjectCount};
    Random random(Mix(0xD3E0, b));
    std::vector<long long> used;
    for (int i = 0; i < kThreadsPerBoard; ++i) {
      // Threads started within the last three days; two per board are full.
      long long key = now - 600 - random.Below(3 * 24 * 3600);
      while (std::find(used.begin(), used.end(), key) != used.end()) --key;
      used.push_back(key);
      int replies = (i == 3 || i == 17) ? kMaxReplies
                    : random.Chance(15) ? 200 + random.Below(700)
                                        : 1 + random.Below(180);
      long long lastPost = now - random.Below(static_cast<int>(std::max(1LL, now - key)));
      board.threads.push_back(NewThread(board, key, replies, lastPost, random.Next()));
    }
    MakeSeries(board);
    std::stable_sort(board.threads.begin(), board.threads.end(),
                     [](const Thread& a, const Thread& b) { return a.lastPost > b.lastPost; });
    for (int i = 0; i < 3; ++i) {
      long long key = now - 5 * 24 * 3600 - random.Below(24 * 3600);
      board.archive[key] = NewThread(board, key, kMaxReplies, key + 3600, random.Next());
    }
    boards_.push_back(std::move(board));
  }
}

void DemoNetwork::MakeSeries(Board& board) const {
  std::vector<std::size_t> taken;
  for (std::size_t full = 0; full < board.threads.size(); ++full) {
    if (board.threads[full].replies < kMaxReplies) continue;
    // The successor: the next thread in generation order that was started later and is open.
    std::size_t next = full + 1;
    while (next < board.threads.size() &&
           (board.threads[next].key < board.threads[full].key ||
            board.threads[next].replies >= kMaxReplies ||
            std::find(taken.begin(), taken.end(), next) != taken.end())) {
      ++next;
    }
    if (next == board.threads.size()) continue;
    taken.push_back(next);
    std::size_t series = static_cast<std::size_t>(board.index) * 2 + taken.size() - 1;
    const std::string& form = SeriesForms()[series % SeriesForms().size()];
    const std::string& topic = Topics()[Mix(0x5E41E5, series) % Topics().size()];
    int number = kSeriesNumbers[series % kSeriesNumbers.size()];
    board.threads[full].title = Fill(form, topic, number);
    board.threads[next].title = Fill(form, topic, number + 1);
  }
}

DemoNetwork::Thread DemoNetwork::NewThread(const Board& board, long long key, int replies,
                                           long long lastPost, std::uint64_t seed) const {
  (void)board;
  Random random(seed);
  std::string title =
      TitleForms()[static_cast<std::size_t>(random.Below(static_cast<int>(TitleForms().size())))];
  std::string topic = random.Pick(Topics());
  int part = 2 + random.Below(40);
  Thread thread;
  thread.key = key;
  thread.title = Fill(title, topic, part);
  thread.baseReplies = replies;
  thread.replies = replies;
  thread.lastPost = std::max(lastPost, key);
  thread.modified = start_;
  return thread;
}

std::string DemoNetwork::ReplyLine(const Board& board, const Thread& thread, int number,
                                   long long when) const {
  Random random(
      Mix(Mix(static_cast<std::uint64_t>(board.index), static_cast<std::uint64_t>(thread.key)),
          static_cast<std::uint64_t>(number)));
  std::string name = number == 1 ? Names()[0] : random.Pick(Names());
  std::string mail = number == 1 ? std::string() : random.Pick(Mails());
  // The ID's draws come before the hundredths' (the order the generated network has always had).
  std::string id = IdText(random);
  int heavy = HeavyPoster(board.index, thread.key, number);
  std::string date = DemoDate(when, random.Below(100)) +
                     " ID:" + (heavy < 0 ? id : HeavyId(board.index, thread.key, heavy, when));
  std::vector<std::string> lines;
  if (number > 1 && random.Chance(35)) {
    int target = 1 + random.Below(number - 1);
    lines.push_back("<a href=\"../test/read.cgi/" + board.dir + "/" + std::to_string(thread.key) +
                    "/" + std::to_string(target) +
                    "\" rel=\"noopener noreferrer\" target=\"_blank\">&gt;&gt;" +
                    std::to_string(target) + "</a>");
  } else if (number > 2 && random.Chance(8)) {
    static const std::string marks = Sjis("＞＞");
    lines.push_back(marks + FullWidthNumber(1 + random.Below(number - 1)));
  }
  int sentences = 1 + random.Below(3);
  for (int i = 0; i < sentences; ++i) lines.push_back(random.Pick(Sentences()));
  if (random.Chance(6))
    lines.push_back(random.Pick(Links()) + std::to_string(random.Below(100000)));
  if (random.Chance(3)) lines.insert(lines.end(), ArtLines().begin(), ArtLines().end());
  // One reply in twenty shows a picture of the image host (hostile ones included).
  std::uint64_t picture = Mix(Mix(0x1A6E, static_cast<std::uint64_t>(board.index) << 40 ^
                                              static_cast<std::uint64_t>(thread.key)),
                              static_cast<std::uint64_t>(number));
  if (picture % 20 == 0) {
    const std::vector<DemoImage>& images = images_.All();
    lines.push_back(scheme_ + "://" + std::string(DemoImages::kHost) + "/i/" +
                    images[(picture / 20) % images.size()].name);
  }
  if (number == 1) {
    static const std::string intro = Sjis("スレ立てました。マターリいきましょう");
    lines.insert(lines.begin(), intro);
    lines.push_back(Links()[0] + std::to_string(thread.key));
  }
  std::string message;
  for (const std::string& line : lines) message += (message.empty() ? " " : " <br> ") + line;
  message += " ";
  return name + "<>" + mail + "<>" + date + "<>" + message + "<>" +
         (number == 1 ? thread.title : std::string()) + "\n";
}

void DemoNetwork::BuildDat(const Board& board, Thread& thread) const {
  if (!thread.dat.empty()) return;
  // The generated replies spread from the thread's start to its last post.
  long long span = std::max(1LL, thread.lastPost - thread.key);
  for (int n = 1; n <= thread.baseReplies; ++n) {
    long long when =
        thread.key + (thread.baseReplies == 1 ? 0 : span * (n - 1) / (thread.baseReplies - 1));
    thread.dat += ReplyLine(board, thread, n, when);
  }
}

std::vector<std::string> DemoNetwork::Hosts() const {
  std::vector<std::string> hosts = {std::string(kMenuHost)};
  for (const Board& board : boards_) {
    if (std::find(hosts.begin(), hosts.end(), board.host) == hosts.end())
      hosts.push_back(board.host);
  }
  hosts.emplace_back(DemoImages::kHost);
  return hosts;
}

std::string DemoNetwork::MenuUrl() const {
  return scheme_ + "://" + std::string(kMenuHost) + "/bbsmenu.html";
}

std::string DemoNetwork::BoardUrl(const Board& board) const {
  return scheme_ + "://" + board.host + "/" + board.dir + "/";
}

std::vector<std::string> DemoNetwork::BoardDirs() const {
  std::vector<std::string> dirs;
  for (const Board& board : boards_) dirs.push_back(board.dir);
  return dirs;
}

std::vector<long long> DemoNetwork::ThreadKeys(std::string_view board) const {
  std::vector<long long> keys;
  for (const Board& b : boards_) {
    if (b.dir != board) continue;
    for (const Thread& thread : b.threads) keys.push_back(thread.key);
  }
  return keys;
}

std::string DemoNetwork::MenuPage() const {
  static const std::string head = Sjis(
      "<HTML>\n<HEAD>\n<META http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=Shift_JIS\">\n"
      "<TITLE>BBS MENU</TITLE>\n<BASE TARGET=\"_right\">\n</HEAD>\n<BODY TEXT=\"#CC3300\" "
      "BGCOLOR=\"#FFFFFF\" link=\"#0000FF\" alink=\"#ff0000\" vlink=\"#660099\">\n"
      "<font size=2>\n<B>オフライン掲示板</B><br>\n");
  std::string page = head;
  // The service's own pages stand on "www" hosts; the menu scan leaves them out.
  page += "<A HREF=" + scheme_ + "://www." + std::string(kMenuHost.substr(5)) + "/>" +
          Sjis("トップ") + "</A><br>\n";
  std::string category;
  for (const Board& board : boards_) {
    if (board.category != category) {
      category = board.category;
      page += "<br><B>" + category + "</B><br>\n";
    }
    page += "<A HREF=" + BoardUrl(board) + ">" + board.name + "</A><br>\n";
  }
  return page + "</font>\n</BODY></HTML>\n";
}

std::string DemoNetwork::SubjectText(const Board& board) const {
  std::string text;
  for (const Thread& thread : board.threads) {
    text += std::to_string(thread.key) + ".dat<>" + thread.title + " (" +
            std::to_string(thread.replies) + ")\n";
  }
  return text;
}

DemoNetwork::Board* DemoNetwork::FindBoard(std::string_view host, std::string_view dir) {
  for (Board& board : boards_) {
    if ((host.empty() || board.host == host) && board.dir == dir) return &board;
  }
  return nullptr;
}

DemoResource DemoNetwork::Find(std::string_view host, std::string_view path) {
  DemoResource resource;
  if (host == DemoImages::kHost) {
    if (const DemoImage* image = images_.Find(path)) {
      return {200, image->bytes, image->contentType, start_, ""};
    }
    return resource;
  }
  if (host == kMenuHost) {
    if (path == "/bbsmenu.html") {
      resource = {200, MenuPage(), "text/html", start_, ""};
    }
    return resource;
  }
  // "/<board>/subject.txt", "/<board>/dat/<key>.dat", "/<board>/kako/<k4>/<k5>/<key>.dat".
  if (host.empty() || path.size() < 2 || path[0] != '/') return resource;
  std::size_t slash = path.find('/', 1);
  if (slash == std::string_view::npos) return resource;
  Board* board = FindBoard(host, path.substr(1, slash - 1));
  if (!board) return resource;
  std::string_view rest = path.substr(slash + 1);
  if (rest == "subject.txt") {
    return {200, SubjectText(*board), "text/plain", board->subjectModified, ""};
  }
  if (rest == "SETTING.TXT") return {200, SettingText(*board), "text/plain", start_, ""};
  std::size_t lastSlash = rest.rfind('/');
  std::string_view file = rest.substr(lastSlash + 1);
  std::string_view folder = rest.substr(0, lastSlash == std::string_view::npos ? 0 : lastSlash);
  if (file.size() < 5 || file.substr(file.size() - 4) != ".dat") return resource;
  std::string digits(file.substr(0, file.size() - 4));
  if (digits.empty() || digits.size() > 12 ||
      digits.find_first_not_of("0123456789") != std::string::npos) {
    return resource;
  }
  long long key = std::stoll(digits);
  if (folder == "dat") {
    for (Thread& thread : board->threads) {
      if (thread.key != key) continue;
      BuildDat(*board, thread);
      return {200, thread.dat, "text/plain", thread.modified, ""};
    }
    if (board->archive.count(key)) {
      std::string k4 = digits.substr(0, 4);
      std::string k5 = digits.substr(0, 5);
      resource.status = 302;
      resource.location = BoardUrl(*board) + "kako/" + k4 + "/" + k5 + "/" + digits + ".dat";
    }
    return resource;
  }
  auto archived = board->archive.find(key);
  if (archived != board->archive.end() && digits.size() >= 5 &&
      (folder == "kako/" + digits.substr(0, 4) + "/" + digits.substr(0, 5) ||
       folder == "oyster/" + digits.substr(0, 4))) {
    BuildDat(*board, archived->second);
    return {200, archived->second.dat, "text/plain", archived->second.modified, ""};
  }
  return resource;
}

int DemoNetwork::Grow(std::string_view boardDir, long long key, int count, long long now) {
  Board* board = FindBoard("", boardDir);
  if (!board) return 0;
  auto it = std::find_if(board->threads.begin(), board->threads.end(),
                         [key](const Thread& t) { return t.key == key; });
  if (it == board->threads.end()) return 0;
  Thread& thread = *it;
  BuildDat(*board, thread);
  int added = std::max(0, std::min(count, kMaxReplies - thread.replies));
  if (added == 0) return 0;
  for (int i = 0; i < added; ++i) {
    thread.dat += ReplyLine(*board, thread, thread.replies + 1, now);
    ++thread.replies;
  }
  Touch(*board, it, true, now);
  return added;
}

void DemoNetwork::Touch(Board& board, std::vector<Thread>::iterator thread, bool age,
                        long long now) {
  thread->lastPost = now;
  // A Last-Modified that always moves forward, so a conditional request made in the same second as
  // the last change still sees this one.
  thread->modified = std::max(now, thread->modified + 1);
  board.subjectModified = std::max(now, board.subjectModified + 1);
  if (age) std::rotate(board.threads.begin(), thread, thread + 1);
}

const DemoBoardSettings* DemoNetwork::Settings(std::string_view host, std::string_view dir) const {
  for (const Board& board : boards_) {
    if ((host.empty() || board.host == host) && board.dir == dir) return &board.settings;
  }
  return nullptr;
}

DemoThreadState DemoNetwork::ThreadState(std::string_view dir, long long key) const {
  for (const Board& board : boards_) {
    if (board.dir != dir) continue;
    for (const Thread& thread : board.threads) {
      if (thread.key == key) {
        return thread.replies >= kMaxReplies ? DemoThreadState::kFull : DemoThreadState::kOpen;
      }
    }
    return board.archive.count(key) ? DemoThreadState::kArchived : DemoThreadState::kMissing;
  }
  return DemoThreadState::kMissing;
}

int DemoNetwork::AppendReply(std::string_view dir, long long key, const std::string& line, bool age,
                             long long now) {
  Board* board = FindBoard("", dir);
  if (!board) return 0;
  auto it = std::find_if(board->threads.begin(), board->threads.end(),
                         [key](const Thread& t) { return t.key == key; });
  if (it == board->threads.end() || it->replies >= kMaxReplies) return 0;
  BuildDat(*board, *it);
  it->dat += line;
  int number = ++it->replies;
  Touch(*board, it, age, now);
  return number;
}

long long DemoNetwork::StartThread(std::string_view dir, const std::string& title,
                                   const std::string& line, long long now) {
  Board* board = FindBoard("", dir);
  if (!board) return 0;
  Thread thread;
  thread.key = FreeKey(*board, now);
  thread.title = title;
  thread.dat = line;
  thread.baseReplies = 1;
  thread.replies = 1;
  thread.lastPost = now;
  thread.modified = now;
  long long key = thread.key;
  PushThread(*board, std::move(thread), now);
  return key;
}

std::string DemoNetwork::SettingText(const Board& board) const {
  const DemoBoardSettings& s = board.settings;
  return "BBS_TITLE=" + board.name + "\nBBS_TITLE_ORIG=" + board.name +
         "\nBBS_NONAME_NAME=" + s.noName + "\nBBS_LINE_NUMBER=" + std::to_string(s.lineNumber) +
         "\nBBS_MESSAGE_COUNT=" + std::to_string(s.messageCount) +
         "\nBBS_NAME_COUNT=" + std::to_string(s.nameCount) +
         "\nBBS_MAIL_COUNT=" + std::to_string(s.mailCount) +
         "\nBBS_SUBJECT_COUNT=" + std::to_string(s.subjectCount) + "\n";
}

long long DemoNetwork::FreeKey(const Board& board, long long key) const {
  while (board.archive.count(key) || std::any_of(board.threads.begin(), board.threads.end(),
                                                 [key](const Thread& t) { return t.key == key; })) {
    ++key;
  }
  return key;
}

void DemoNetwork::PushThread(Board& board, Thread thread, long long now) {
  Thread last = std::move(board.threads.back());
  board.threads.pop_back();
  board.archive[last.key] = std::move(last);
  board.threads.insert(board.threads.begin(), std::move(thread));
  board.subjectModified = std::max(now, board.subjectModified + 1);
}

void DemoNetwork::Retire(Board& board, long long now) {
  Random random(Mix(0xA11CE, stepCount_));
  Thread thread = NewThread(board, FreeKey(board, now), 1, now, random.Next());
  thread.modified = now;
  PushThread(board, std::move(thread), now);
}

std::string DemoNetwork::Step(long long now) {
  ++stepCount_;
  Random random(Mix(0x57E9, stepCount_));
  std::string summary = "step " + std::to_string(stepCount_) + ":";
  int grown = 3 + random.Below(4);
  for (int i = 0; i < grown; ++i) {
    Board& board =
        boards_[static_cast<std::size_t>(random.Below(static_cast<int>(boards_.size())))];
    // Mostly the threads near the top of a list, as on a real board.
    const Thread& thread = board.threads[static_cast<std::size_t>(
        random.Below(random.Chance(70) ? 20 : kThreadsPerBoard))];
    long long key = thread.key;
    int added = Grow(board.dir, key, 1 + random.Below(5), now);
    if (added > 0)
      summary += " " + board.dir + "/" + std::to_string(key) + "+" + std::to_string(added);
  }
  Board& board = boards_[static_cast<std::size_t>(random.Below(static_cast<int>(boards_.size())))];
  long long retired = board.threads.back().key;
  Retire(board, now);
  summary += " " + board.dir + "/" + std::to_string(retired) + "->kako";
  return summary;
}

}  // namespace velkor::demo
