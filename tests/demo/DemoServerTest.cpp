#include "demo/DemoServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "base/Sjis.h"
#include "net/ChunkDecoder.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"
#include "net/Gunzip.h"
#include "net/HttpSession.h"
#include "support/DemoServerProcess.h"

namespace velkor::demo {
namespace {

using test::DemoServerProcess;

constexpr long long kStart = 1796688000;  // Tue, 08 Dec 2026 00:00:00 GMT

struct Answered {
  std::string head;
  std::string body;
};

Answered Split(const std::string& answer) {
  std::size_t end = answer.find("\r\n\r\n");
  if (end == std::string::npos) return {answer, ""};
  return {answer.substr(0, end + 2), answer.substr(end + 4)};
}

std::string Get(const std::string& host, const std::string& path, const std::string& extra = "") {
  return "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n" + extra + "\r\n";
}

class DemoServerTest : public ::testing::Test {
 protected:
  DemoServerTest() : network_("http", kStart), server_(network_) {}

  Answered Ask(const std::string& request) { return Split(server_.Answer(request, kStart + 10)); }
  std::string DatPath(long long key) { return "/cook/dat/" + std::to_string(key) + ".dat"; }
  std::string Dat(long long key) { return Ask(Get("hayabusa.5ch.io", DatPath(key))).body; }

  DemoNetwork network_;
  DemoServer server_;
};

struct StatusCase {
  const char* name;
  const char* path;
  const char* extra;  // more request header lines
  const char* status;
  const char* header;  // a header line the answer must hold, or ""
};

void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << c.name;
}

class DemoServerStatusTest : public DemoServerTest,
                             public ::testing::WithParamInterface<StatusCase> {};

TEST_P(DemoServerStatusTest, AnswersLikeABoardServer) {
  const StatusCase& c = GetParam();
  std::string path = c.path;
  if (path == "DAT") path = DatPath(network_.ThreadKeys("cook")[5]);
  if (path == "OYSTER") {
    // The list's last thread, pushed into the archive by a new thread.
    std::string key = std::to_string(network_.ThreadKeys("cook").back());
    network_.StartThread("cook", "t", "n<><>d<> m <>t\n", kStart + 5);
    path = "/cook/oyster/" + key.substr(0, 4) + "/" + key + ".dat";
  }
  Answered answer = Ask(Get("hayabusa.5ch.io", path, c.extra));
  EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), std::string("HTTP/1.1 ") + c.status);
  EXPECT_NE(answer.head.find(c.header), std::string::npos) << answer.head;
}

const std::string kSince = "If-Modified-Since: " + HttpDate(kStart) + "\r\n";
const std::string kEarlier = "If-Modified-Since: " + HttpDate(kStart - 1) + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, DemoServerStatusTest,
    ::testing::Values(
        StatusCase{"whole", "/cook/subject.txt", "", "200 OK",
                   "Last-Modified: Tue, 08 Dec 2026 00:00:00 GMT"},
        StatusCase{"unchanged", "/cook/subject.txt", kSince.c_str(), "304 Not Modified", ""},
        StatusCase{"changed", "/cook/subject.txt", kEarlier.c_str(), "200 OK", ""},
        StatusCase{"tail", "DAT", "Range: bytes=10-\r\n", "206 Partial Content",
                   "Content-Range: bytes 10-"},
        StatusCase{"past the end", "DAT", "Range: bytes=99999999-\r\n", "416 Range Not Satisfiable",
                   "Content-Range: bytes */"},
        StatusCase{"gzip", "/cook/subject.txt", "Accept-Encoding: gzip\r\n", "200 OK",
                   "Transfer-Encoding: chunked"},
        StatusCase{"archive at the oyster path", "OYSTER", "", "200 OK", "Last-Modified: "},
        StatusCase{"range at the oyster path", "OYSTER", "Range: bytes=10-\r\n",
                   "206 Partial Content", "Content-Range: bytes 10-"},
        StatusCase{"listed thread not at the oyster path", "/cook/oyster/1796/1796600000.dat", "",
                   "404 Not Found", ""},
        StatusCase{"limits", "/cook/SETTING.TXT", "", "200 OK", "Content-Type: text/plain"},
        StatusCase{"other board's host", "/newsplus/subject.txt", "", "404 Not Found", ""},
        StatusCase{"no such thread", "/cook/dat/123.dat", "", "404 Not Found", ""},
        StatusCase{"outside the board", "/cook/../etc/passwd", "", "404 Not Found", ""}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (c == ' ' || c == '\'') c = '_';
      }
      return name;
    });

// The gzip answer decodes to exactly the plain answer's bytes.
TEST_F(DemoServerTest, GzipDecodesToThePlainBody) {
  Answered plain = Ask(Get("hayabusa.5ch.io", "/cook/subject.txt"));
  Answered packed = Ask(Get("hayabusa.5ch.io", "/cook/subject.txt", "Accept-Encoding: gzip\r\n"));
  ChunkDecoder chunks;
  std::string gzip;
  ASSERT_TRUE(chunks.Feed(packed.body, gzip));
  ASSERT_TRUE(chunks.Done());
  std::string body;
  ASSERT_EQ(Gunzip(gzip, body), GunzipResult::kOk);
  EXPECT_EQ(body, plain.body);
  EXPECT_EQ(SplitLines(body).size(), std::size_t{DemoNetwork::kThreadsPerBoard});
}

// New replies (asked for through the control path): a conditional request made before them is
// answered whole, and a range from the last stored byte starts with that byte's line feed and holds
// exactly the new lines.
TEST_F(DemoServerTest, GrowthIsSeenByConditionalAndRangeRequests) {
  long long key = network_.ThreadKeys("cook")[40];
  std::string before = Dat(key);
  ASSERT_EQ(Ask(Get("any.host", "/_demo/grow/cook/" + std::to_string(key) + "/2")).body,
            "added 2\n");
  EXPECT_EQ(network_.ThreadKeys("cook").front(), key);
  Answered whole = Ask(Get("hayabusa.5ch.io", DatPath(key), kSince));
  EXPECT_EQ(whole.head.substr(0, 15), "HTTP/1.1 200 OK");
  ASSERT_EQ(whole.body.substr(0, before.size()), before);
  Answered tail = Ask(Get("hayabusa.5ch.io", DatPath(key),
                          "Range: bytes=" + std::to_string(before.size() - 1) + "-\r\n"));
  EXPECT_EQ(tail.body, whole.body.substr(before.size() - 1));
  EXPECT_EQ(SplitLines(tail.body.substr(1)).size(), std::size_t{2});
  EXPECT_EQ(Ask(Get("hayabusa.5ch.io", "/cook/subject.txt", kSince)).head.substr(0, 15),
            "HTTP/1.1 200 OK");
}

// Every full thread has a listed successor started later whose title is the same but for a part
// number one greater, in each of the number forms (Part12, その12, ★12, 12スレ目, full-width).
TEST_F(DemoServerTest, FullThreadsHaveSuccessors) {
  // The title with its last number (ASCII or full-width digits, Shift_JIS 0x82 0x4F-0x58)
  // increased by one.
  auto next = [](const std::string& title) {
    auto wideDigit = [&](std::size_t i) {
      return static_cast<unsigned char>(title[i]) == 0x82 && i + 1 < title.size() &&
             title[i + 1] >= 0x4F && title[i + 1] <= 0x58;
    };
    std::size_t start = 0;
    std::size_t end = 0;
    std::string digits;
    for (std::size_t i = 0; i < title.size();) {
      std::size_t width = wideDigit(i) || IsLeadByte(title[i]) ? 2 : 1;
      char digit = wideDigit(i) ? static_cast<char>('0' + title[i + 1] - 0x4F)
                   : std::isdigit(static_cast<unsigned char>(title[i])) ? title[i]
                                                                        : '\0';
      if (digit != '\0') {
        if (i != end) {
          start = i;
          digits.clear();
        }
        digits += digit;
        end = i + width;
      }
      i += width;
    }
    if (digits.empty()) return std::string();
    bool wide = end - start == 2 * digits.size();
    std::string increased;
    for (char c : std::to_string(std::stoi(digits) + 1)) {
      increased +=
          wide ? std::string{'\x82', static_cast<char>(0x4F + c - '0')} : std::string(1, c);
    }
    return title.substr(0, start) + increased + title.substr(end);
  };
  std::string forms;
  int series = 0;
  for (const std::string& dir : network_.BoardDirs()) {
    std::map<std::string, long long> keyOfTitle;
    std::vector<std::pair<long long, std::string>> full;
    std::string list;
    for (const std::string& host : network_.Hosts()) {
      DemoResource resource = network_.Find(host, "/" + dir + "/subject.txt");
      if (resource.status == 200) list = resource.body;
    }
    for (std::string_view line : SplitLines(list)) {
      std::size_t title = line.find("<>") + 2;
      std::size_t count = line.rfind(" (");
      long long key = std::stoll(std::string(line.substr(0, 10)));
      std::string text(line.substr(title, count - title));
      keyOfTitle[text] = key;
      if (line.ends_with(" (1000)")) full.emplace_back(key, text);
    }
    EXPECT_EQ(full.size(), 2u) << dir;
    for (const auto& [key, title] : full) {
      auto successor = keyOfTitle.find(next(title));
      ASSERT_NE(successor, keyOfTitle.end()) << dir << " " << SjisToUtf8Lossy(title);
      EXPECT_GT(successor->second, key);
      forms += title + "\n";
      ++series;
    }
  }
  EXPECT_EQ(series, 16);
  for (const std::string& form : {std::string("Part1"), Sjis("その"), Sjis("★"), Sjis("スレ目"),
                                  std::string("Part\x82"), Sjis("★") + "\x82"}) {
    EXPECT_NE(SjisFind(forms, form), std::string::npos) << SjisToUtf8Lossy(form);
  }
}

// Threads have heavy posters: in a long thread one ID comes back again and again.
TEST_F(DemoServerTest, HeavyPostersRepeatTheirIds) {
  long long key = network_.ThreadKeys("cook")[0];
  std::size_t most = 0;
  for (long long candidate : network_.ThreadKeys("cook")) {
    std::string dat = Dat(candidate);
    if (SplitLines(dat).size() > most && SplitLines(dat).size() < 1000) {
      most = SplitLines(dat).size();
      key = candidate;
    }
  }
  ASSERT_GE(most, 100u);
  std::map<std::string, int> posts;
  const std::string dat = Dat(key);
  for (std::string_view line : SplitLines(dat)) {
    std::size_t id = line.find(" ID:");
    ASSERT_NE(id, std::string_view::npos);
    // The day and the ID: an ID counts within one day only.
    ++posts[std::string(line.substr(0, 10)) + std::string(line.substr(id, 13))];
  }
  int repeated = 0;
  for (const auto& [id, count] : posts) repeated = std::max(repeated, count);
  EXPECT_GE(repeated, 5);
}

// A thread that fell off its list answers 302 to its archive copy, which is served.
TEST_F(DemoServerTest, FallenThreadRedirectsToTheArchive) {
  long long last = network_.ThreadKeys("cook").back();
  for (int i = 0; i < 200 && network_.ThreadKeys("cook").back() == last; ++i) {
    network_.Step(kStart + i);
  }
  ASSERT_NE(network_.ThreadKeys("cook").back(), last);
  EXPECT_EQ(network_.ThreadKeys("cook").size(), std::size_t{DemoNetwork::kThreadsPerBoard});
  Answered moved = Ask(Get("hayabusa.5ch.io", DatPath(last)));
  std::string k = std::to_string(last);
  std::string archive = "/cook/kako/" + k.substr(0, 4) + "/" + k.substr(0, 5) + "/" + k + ".dat";
  EXPECT_EQ(moved.head.substr(0, 18), "HTTP/1.1 302 Found");
  EXPECT_NE(moved.head.find("Location: http://hayabusa.5ch.io" + archive + "\r\n"),
            std::string::npos);
  Answered kept = Ask(Get("hayabusa.5ch.io", archive));
  EXPECT_EQ(kept.head.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_FALSE(kept.body.empty());
}

// The process: two lines on stdout once listening, the program's own client reads the menu
// through the printed connect value, and SIGTERM ends it with exit 0.
TEST(DemoServerProcessTest, PrintsWhereItListensAndStopsOnSigterm) {
  DemoServerProcess server({});
  EXPECT_EQ(server.menuUrl, "http://menu.5ch.io/bbsmenu.html");
  const std::vector<std::string> items = server.ConnectItems();
  EXPECT_EQ(items.size(), std::size_t{6});
  ASSERT_TRUE(AddConnectOverrides(items).IsOk());
  HttpSession session;
  std::string page;
  std::string lastModified;
  EXPECT_TRUE(
      FetchFull(session, "http://menu.5ch.io/bbsmenu.html", page, lastModified, true).IsOk());
  EXPECT_NE(page.find("<A HREF=http://hayabusa.5ch.io/cook/>" + Sjis("料理") + "</A><br>\n"),
            std::string::npos);
  ClearConnectOverrides();
  int status = server.Stop();
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// --tls: https links, and a client that trusts the CA file written under --root gets a verified
// answer (curl, as a user would check it); without the CA the handshake is refused.
TEST(DemoServerProcessTest, TlsIsTrustedThroughItsOwnCa) {
  std::string root = ::testing::TempDir() + "demo-tls-" + std::to_string(getpid());
  DemoServerProcess server({"--tls", "--root", root});
  ASSERT_EQ(server.menuUrl, "https://menu.5ch.io/bbsmenu.html");
  std::string curl =
      "curl -s -o /dev/null -w '%{http_code}' -r 1- --connect-to menu.5ch.io:443:127.0.0.1:" +
      server.Port() + " ";
  auto run = [](const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[64];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    pclose(pipe);
    return output;
  };
  EXPECT_EQ(run(curl + "--cacert " + root + "/demo-ca.pem " + server.menuUrl), "206");
  EXPECT_EQ(run(curl + server.menuUrl), "000");
  int status = server.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::filesystem::remove_all(root);
}

// A loopback TCP connection to the server, closed with the object.
class Client {
 public:
  // Non-blocking connect: an idle client does not wait for the server to accept it.
  explicit Client(const std::string& port) : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<unsigned short>(std::stoi(port)));
    fcntl(fd_, F_SETFL, O_NONBLOCK);
    connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  }
  ~Client() { close(fd_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // True once the connection is established (the server's system took it, accepted or not).
  bool Connected() { return Wait(POLLOUT); }
  // Sends `bytes` once the connection is writable; false when it failed or was closed.
  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      if (!Wait(POLLOUT)) return false;
      long n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0 && errno != EAGAIN) return false;
      if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
  }
  // Everything the server sends until it closes the connection (empty after a reset).
  std::string ReadAll() {
    std::string answer;
    char buffer[4096];
    while (Wait(POLLIN)) {
      long n = recv(fd_, buffer, sizeof buffer, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN)) break;
      if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
    }
    return answer;
  }

 private:
  // A generous bound that only keeps a broken server from hanging the test.
  bool Wait(short events) {
    pollfd p{fd_, events, 0};
    return poll(&p, 1, 60000) == 1;
  }
  int fd_;
};

struct LoadCase {
  const char* name;
  rlim_t fdLimit;  // the server's descriptor limit; 0: as inherited
  int idle;        // connections that never send anything
  int trickling;   // connections that send half a request head a byte at a time, then stall
};

void PrintTo(const LoadCase& c, std::ostream* os) {
  *os << c.name;
}

class DemoServerLoadTest : public ::testing::TestWithParam<LoadCase> {};

// Under a flood of connections that hold the server's descriptors, a normal request is still
// answered and the server sleeps in poll instead of spinning: its CPU time stays far below the time
// that passed.
TEST_P(DemoServerLoadTest, NormalRequestsStayAnswered) {
  const LoadCase& c = GetParam();
  // The test's own end of every connection needs a descriptor too.
  const rlim_t needed = static_cast<rlim_t>(c.idle + c.trickling + 64);
  rlimit own{};
  getrlimit(RLIMIT_NOFILE, &own);
  if (own.rlim_cur < needed && own.rlim_max >= needed) {
    own.rlim_cur = needed;
    setrlimit(RLIMIT_NOFILE, &own);
  }
  ASSERT_GE(own.rlim_cur, needed);
  DemoServerProcess server({}, c.fdLimit);
  ASSERT_FALSE(server.connectTo.empty());
  const auto start = std::chrono::steady_clock::now();
  const double cpuBefore = server.CpuSeconds();
  std::vector<std::unique_ptr<Client>> flood;
  for (int i = 0; i < c.idle; ++i) flood.push_back(std::make_unique<Client>(server.Port()));
  for (auto& client : flood) ASSERT_TRUE(client->Connected());
  const std::string request = Get("hayabusa.5ch.io", "/cook/subject.txt");
  std::vector<std::unique_ptr<Client>> trickling;
  for (int i = 0; i < c.trickling; ++i)
    trickling.push_back(std::make_unique<Client>(server.Port()));
  for (std::size_t at = 0; at < request.size() / 2; ++at) {
    for (auto& client : trickling) client->Send(request.substr(at, 1));
    usleep(20000);
  }
  for (int round = 0; round < 3; ++round) {
    Client normal(server.Port());
    ASSERT_TRUE(normal.Send(request));
    std::string answer = normal.ReadAll();
    EXPECT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK") << "round " << round;
    EXPECT_NE(answer.find(".dat<>"), std::string::npos);
  }
  usleep(1000000);
  const double cpu = server.CpuSeconds() - cpuBefore;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(cpu, wall / 10) << "CPU " << cpu << " s in " << wall << " s";
  int status = server.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

INSTANTIATE_TEST_SUITE_P(Floods, DemoServerLoadTest,
                         ::testing::Values(LoadCase{"exhausted_handles", 128, 150, 0},
                                           LoadCase{"idle_flood", 0, 2000, 0},
                                           LoadCase{"trickling", 0, 0, 200},
                                           LoadCase{"trickling_exhausted", 64, 40, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

// A POST is framed by its Content-Length: a body that arrives after the head is waited for; a POST
// without a length, or with one above the bound, is answered at once instead of being read.
TEST(DemoServerProcessTest, PostBodiesAreFramedByTheirLength) {
  DemoServerProcess server({});
  ASSERT_FALSE(server.connectTo.empty());
  const std::string body = "bbs=cook&time=1&MESSAGE=%82%A0";
  const std::string head =
      "POST /test/bbs.cgi HTTP/1.1\r\nHost: hayabusa.5ch.io\r\nUser-Agent: Monazilla/1.00\r\n"
      "Content-Type: application/x-www-form-urlencoded\r\nReferer: http://hayabusa.5ch.io/\r\n";
  Client split(server.Port());
  ASSERT_TRUE(split.Send(head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n"));
  usleep(300000);
  ASSERT_TRUE(split.Send(body));
  std::string answer = split.ReadAll();
  EXPECT_EQ(answer.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_NE(answer.find("<!-- 2ch_X:error -->"), std::string::npos);
  Client unframed(server.Port());
  ASSERT_TRUE(unframed.Send(head + "\r\n" + body));
  EXPECT_EQ(unframed.ReadAll().substr(0, 28), "HTTP/1.1 411 Length Required");
  Client huge(server.Port());
  ASSERT_TRUE(huge.Send(head + "Content-Length: 100000\r\n\r\n" + body));
  EXPECT_EQ(huge.ReadAll().substr(0, 30), "HTTP/1.1 413 Payload Too Large");
  server.Stop();
}

}  // namespace
}  // namespace velkor::demo
