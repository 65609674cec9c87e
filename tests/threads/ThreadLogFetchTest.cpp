#include "threads/ThreadLogFetch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "net/CacheServerUrl.h"
#include "net/ConnectOverrides.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"
#include "support/HttpTestServer.h"
#include "support/NginxFixture.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::NginxFixture;
using test::S;

// Not a service host: with no favourite naming the folder, its board URL is rebuilt as http.
constexpr char kHost[] = "news.example.net";
constexpr char kBoardUrl[] = "http://news.example.net/board/";

std::string Dat(int from, int to) {
  std::string dat;
  for (int i = from; i <= to; ++i) {
    dat += S("名無しさん<>sage<>2026/12/07(月) 10:00:0") + std::to_string(i % 10) + "<> " +
           S("レス") + std::to_string(i) + " <>" + (i == 1 ? S("テストスレ") : "") + "\n";
  }
  return dat;
}

class ThreadLogFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearConnectOverrides();
    ASSERT_TRUE(list.Bind(SubjectIniPathOf(kBoardUrl).value()));
    ASSERT_TRUE(list.Merge({S("123.dat<>テストスレ (3)")}));
  }
  void TearDown() override { ClearConnectOverrides(); }

  std::string LogPath() const { return list.Dir() + "123.dat"; }
  std::string Stored() const { return ReadWholeFile(LogPath()).value_or("<missing>"); }
  long long Value(const char* key) const { return list.Ini()->ReadInteger("123.dat", key, -999); }
  std::string Text(const char* key) const {
    return list.Ini()->ReadString("123.dat", key, "<none>");
  }
  std::string IniOnDisk() const {
    return ReadWholeFile(list.Dir() + "subject.ini").value_or("<missing>");
  }

  test::TempDataDir data;
  test::RecordingUiHooks ui;
  SubjectList list;
};

class ThreadLogNginxTest : public ThreadLogFetchTest {
 protected:
  void SetUp() override {
    ThreadLogFetchTest::SetUp();
    ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
    nginx.Route(kHost);
  }
  NginxFixture nginx;
};

TEST_F(ThreadLogNginxTest, FirstFetchStoresTheWholeDatAndItsState) {
  std::string dat = Dat(1, 3);
  dat.insert(dat.find("<>sage"), std::string("\0\0", 2));
  nginx.WriteFile("board/dat/123.dat", dat);
  ASSERT_TRUE(FetchThreadLog(list, "123.dat").IsOk());
  std::string expected = dat;
  expected.replace(expected.find(std::string("\0\0", 2)), 2, "**");
  EXPECT_EQ(Stored(), expected) << "zero bytes are stored as *";
  EXPECT_EQ(Value("GotCount"), 3);
  EXPECT_EQ(Value("DatSize"), static_cast<long long>(dat.size()));
  EXPECT_EQ(Text("LastModified"), NginxFixture::LastModifiedText(NginxFixture::kFixedTime));
  IniDocument onDisk;
  onDisk.Parse(IniOnDisk());
  EXPECT_EQ(onDisk.ReadInteger("123.dat", "GotCount", 0), 3) << "written at once";
  EXPECT_EQ(list.RunningFetch(), nullptr);
}

TEST_F(ThreadLogNginxTest, DifferentialFetchAppendsOnlyTheNewBytes) {
  nginx.WriteFile("board/dat/123.dat", Dat(1, 3));
  ASSERT_TRUE(FetchThreadLog(list, "123.dat").IsOk());
  // Change a byte of the stored copy: a range fetch keeps it, a full fetch would not.
  std::string local = Stored();
  local[0] = 'X';
  ASSERT_TRUE(ReplaceFile(LogPath(), local));

  nginx.WriteFile("board/dat/123.dat", Dat(1, 5), NginxFixture::kFixedTime + 60);
  ASSERT_TRUE(FetchThreadLog(list, "123.dat").IsOk());
  EXPECT_EQ(Stored(), local + Dat(4, 5));
  EXPECT_EQ(Value("GotCount"), 5);
  EXPECT_EQ(Value("DatSize"), static_cast<long long>(Dat(1, 5).size()));
  EXPECT_EQ(Text("LastModified"), NginxFixture::LastModifiedText(NginxFixture::kFixedTime + 60));

  // Nothing new: 304, nothing written.
  std::string iniBefore = IniOnDisk();
  EXPECT_FALSE(FetchThreadLog(list, "123.dat").IsOk());
  EXPECT_EQ(Stored(), local + Dat(4, 5));
  EXPECT_EQ(IniOnDisk(), iniBefore);
}

TEST_F(ThreadLogNginxTest, AShortenedServerCopyReplacesTheLog) {
  nginx.WriteFile("board/dat/123.dat", Dat(1, 5));
  ASSERT_TRUE(FetchThreadLog(list, "123.dat").IsOk());
  std::string shorter = Dat(1, 2);
  shorter[0] = 'Y';
  nginx.WriteFile("board/dat/123.dat", shorter, NginxFixture::kFixedTime + 120);
  ASSERT_TRUE(FetchThreadLog(list, "123.dat").IsOk());
  EXPECT_EQ(Stored(), shorter);
  EXPECT_EQ(Value("GotCount"), 2);
  EXPECT_EQ(Value("DatSize"), static_cast<long long>(shorter.size()));
}

TEST_F(ThreadLogNginxTest, UpdateFetchesOnlyWhenTheListAnnouncesMore) {
  nginx.WriteFile("board/dat/123.dat", Dat(1, 3));
  ASSERT_TRUE(UpdateThreadLog(list, "123.dat").IsOk()) << "no log yet";
  nginx.WriteFile("board/dat/123.dat", Dat(1, 4), NginxFixture::kFixedTime + 60);
  EXPECT_FALSE(UpdateThreadLog(list, "123.dat").IsOk()) << "ResCount 3 reached";
  EXPECT_EQ(Value("GotCount"), 3);
  ASSERT_TRUE(list.Merge({S("123.dat<>テストスレ (4)")}));
  ASSERT_TRUE(UpdateThreadLog(list, "123.dat").IsOk());
  EXPECT_EQ(Value("GotCount"), 4);
}

TEST_F(ThreadLogNginxTest, ALogRemovedByHandIsFetchedWholeAgain) {
  nginx.WriteFile("board/dat/123.dat", Dat(1, 3));
  ASSERT_TRUE(UpdateThreadLog(list, "123.dat").IsOk());
  ASSERT_TRUE(RemoveFile(LogPath()));
  // The stored count reaches the listed one and the time stamp is unchanged on the server, yet the
  // missing log is fetched whole, without If-Modified-Since.
  ASSERT_TRUE(UpdateThreadLog(list, "123.dat").IsOk());
  EXPECT_EQ(Stored(), Dat(1, 3));
  EXPECT_EQ(Value("GotCount"), 3);
}

TEST_F(ThreadLogNginxTest, UpdateAlwaysFetchesWhenNoCountIsListed) {
  nginx.WriteFile("board/dat/456.dat", Dat(1, 2));
  ASSERT_TRUE(UpdateThreadLog(list, "456.dat").IsOk());
  EXPECT_EQ(list.Ini()->ReadInteger("456.dat", "GotCount", 0), 2);
  EXPECT_EQ(ReadWholeFile(list.Dir() + "456.dat").value_or(""), Dat(1, 2));
  EXPECT_TRUE(IniOnDisk().ends_with("\r\n\r\n[456.dat]\r\nGotCount=2\r\nLastModified=" +
                                    NginxFixture::LastModifiedText(NginxFixture::kFixedTime) +
                                    "\r\nDatSize=" + std::to_string(Dat(1, 2).size()) + "\r\n\r\n"))
      << "a thread the list does not know gets its own section at the end\n"
      << IniOnDisk();
}

TEST_F(ThreadLogNginxTest, CacheServerCarriesTheLog) {
  Settings saved = AppSettings();
  AppSettings().cacheServerEnable = true;
  AppSettings().cacheServerMatch = ".example.net";
  AppSettings().cacheServerHost = "cache.test";
  ResetCacheServerBoardListForTesting();
  ClearConnectOverrides();
  nginx.Route("cache.test");  // the board's own host is not reachable
  nginx.WriteFile("index.html", "<html><a href=\"board/\">board/</a></html>");
  nginx.WriteFile("board/dat/123.dat", Dat(1, 3));
  PrepareCacheServer(list.BoardUrlFromDir()).IsOk();
  bool stored = FetchThreadLog(list, "123.dat").IsOk();
  AppSettings() = saved;
  ResetCacheServerBoardListForTesting();
  ASSERT_TRUE(stored);
  EXPECT_EQ(Stored(), Dat(1, 3));
  bool cacheUrlShown = false;
  for (const std::string& text : ui.statusTexts) {
    cacheUrlShown |= text.find("http://cache.test/board/dat/123.dat") != std::string::npos;
  }
  EXPECT_TRUE(cacheUrlShown);
}

class ThreadLogServerTest : public ThreadLogFetchTest {
 protected:
  void SetUp() override {
    ThreadLogFetchTest::SetUp();
    server.Route(kHost);
  }
  test::HttpTestServer server;
};

TEST_F(ThreadLogServerTest, AFailedFetchLeavesLogAndStateAlone) {
  ASSERT_TRUE(ReplaceFile(LogPath(), Dat(1, 3)));
  list.StoreFetched(Dat(1, 3), "123.dat", true, " old");
  std::string iniBefore = IniOnDisk();
  server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
      "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 5\r\n\r\noops!"));
  EXPECT_FALSE(FetchThreadLog(list, "123.dat").IsOk());
  EXPECT_EQ(Stored(), Dat(1, 3));
  EXPECT_EQ(IniOnDisk(), iniBefore);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(server.Requests()[0].bytes.find("If-Modified-Since: old\r\n"), std::string::npos);
  EXPECT_NE(
      server.Requests()[0].bytes.find("Range: bytes=" + std::to_string(Dat(1, 3).size() - 1) + "-"),
      std::string::npos);
}

TEST_F(ThreadLogServerTest, AnEmptyBodyStoresNothing) {
  server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
      "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
  EXPECT_EQ(FetchThreadLog(list, "123.dat").Code(), Update::kFailed);
  EXPECT_FALSE(FileExists(LogPath()));
  EXPECT_EQ(Value("GotCount"), -999);
}

TEST_F(ThreadLogServerTest, AStateThatCannotBeWrittenIsAFailure) {
  std::filesystem::remove(list.Dir() + "subject.ini");
  // A folder where subject.ini belongs: the state cannot be written, as on a full disk.
  ASSERT_TRUE(std::filesystem::create_directory(list.Dir() + "subject.ini"));
  const std::string body = Dat(1, 3);
  server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
  UpdateResult fetched = FetchThreadLog(list, "123.dat");
  EXPECT_EQ(fetched.Code(), Update::kNotWritten);
  EXPECT_EQ(fetched.Reason(), S("エラー:保存できません: ") + list.Dir() + "subject.ini");
}

TEST_F(ThreadLogServerTest, AStoredCountThatReachesTheListedOneIsNotFetched) {
  ASSERT_TRUE(ReplaceFile(LogPath(), Dat(1, 3)));
  list.StoreFetched(Dat(1, 3), "123.dat", true, "");
  EXPECT_FALSE(UpdateThreadLog(list, "123.dat").IsOk());
  EXPECT_EQ(server.AcceptedConnections(), 0);
}

// A state that claims more than the log holds (a kill between the two writes) is corrected from the
// log when the thread is opened: the thread is continued from the log's last byte although its
// stored count reached the listed one, and a 304 no longer leaves the claim in place.
TEST_F(ThreadLogServerTest, AStateThatClaimsMoreThanTheLogIsCorrected) {
  const std::string log = Dat(1, 10);
  ASSERT_TRUE(ReplaceFile(LogPath(), log));
  ASSERT_TRUE(list.StoreFetched(Dat(1, 15), "123.dat", true, " old"));
  ASSERT_TRUE(list.Merge({S("123.dat<>テストスレ (15)")}));
  server.AddConnection(
      test::HttpTestServer::Script().ReadRequest().Send("HTTP/1.1 304 Not Modified\r\n\r\n"));
  EXPECT_EQ(UpdateThreadLog(list, "123.dat").Code(), Update::kUnchanged);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].bytes.find("If-Modified-Since"), std::string::npos);
  EXPECT_NE(server.Requests()[0].bytes.find("Range: bytes=" + std::to_string(log.size() - 1) + "-"),
            std::string::npos);
  EXPECT_EQ(Stored(), log);
  EXPECT_NE(IniOnDisk().find(
                "GotCount=10\r\nLastModified=\r\nDatSize=" + std::to_string(log.size()) + "\r\n"),
            std::string::npos)
      << IniOnDisk();
}

// The archive: a thread whose dat answers 302 or 404 is looked for under oyster/ before the fetch
// gives up; each row gives the dat's answer, whether a log is stored, the archive's answer and
// what must come of it.
struct ArchiveCase {
  const char* name;
  const char* datAnswer;
  bool logStored;
  bool archiveAsked;
  const char* archiveAnswer;  // "{RANGE}" stands for a 206 that continues Dat(1, 3) with Dat(4, 5)
  bool found;
};

class ArchiveTest : public ThreadLogServerTest, public ::testing::WithParamInterface<ArchiveCase> {
 protected:
  static constexpr char kDat[] = "1234567890.dat";
  std::string Key(const char* key) const { return list.Ini()->ReadString(kDat, key, "<none>"); }
};

TEST_P(ArchiveTest, ADatGoneFromTheListIsLookedForInTheArchive) {
  const ArchiveCase& row = GetParam();
  ASSERT_TRUE(list.Merge({S("1234567890.dat<>過去スレ (5)"), S("123.dat<>テストスレ (3)")}));
  const std::string path = list.Dir() + kDat;
  if (row.logStored) {
    ASSERT_TRUE(ReplaceFile(path, Dat(1, 3)));
    ASSERT_TRUE(list.StoreFetched(Dat(1, 3), kDat, true, " Mon, 07 Dec 2026 10:00:00 GMT"));
  }
  const std::string logBefore = ReadWholeFile(path).value_or("<missing>");
  const std::string iniBefore = IniOnDisk();
  std::string archiveAnswer = row.archiveAnswer;
  if (archiveAnswer == "{RANGE}") {
    const std::string range = "\n" + Dat(4, 5);
    const std::size_t first = Dat(1, 3).size() - 1;
    archiveAnswer = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " +
                    std::to_string(first) + "-" + std::to_string(first + range.size() - 1) + "/" +
                    std::to_string(first + range.size()) + "\r\nLast-Modified: Tue, 08 Dec 2026 " +
                    "10:00:00 GMT\r\nContent-Length: " + std::to_string(range.size()) + "\r\n\r\n" +
                    range;
  }
  server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(row.datAnswer).Close());
  server.AddConnection(test::HttpTestServer::Script().ReadRequest().Send(archiveAnswer).Close());

  ThreadFetchReport report = FetchThreadReplies(list, kDat);
  ASSERT_EQ(server.Requests().size(), row.archiveAsked ? 2u : 1u);
  if (row.archiveAsked) {
    const std::string asked = server.Requests()[1].bytes;
    EXPECT_TRUE(asked.starts_with("GET /board/oyster/1234/1234567890.dat HTTP/1.1\r\n")) << asked;
    EXPECT_EQ(asked.find("If-Modified-Since"), std::string::npos) << asked;
    EXPECT_EQ(asked.find("Range: bytes=" + std::to_string(Dat(1, 3).size() - 1) + "-\r\n") !=
                  std::string::npos,
              row.logStored)
        << asked;
  }
  EXPECT_EQ(report.fromArchive, row.found);
  if (!row.found) {
    EXPECT_EQ(report.result.Code(), Update::kFailed);
    EXPECT_EQ(ReadWholeFile(path).value_or("<missing>"), logBefore);
    EXPECT_EQ(IniOnDisk(), iniBefore);
    EXPECT_TRUE(ui.statusTexts.empty() ||
                ui.statusTexts.back() != S("過去ログ倉庫から取得しました."));
    return;
  }
  EXPECT_EQ(report.result.Code(), Update::kOk);
  EXPECT_EQ(ReadWholeFile(path).value_or("<missing>"), Dat(1, 5));
  EXPECT_EQ(report.added, row.logStored ? 2 : 5);
  IniDocument onDisk;
  onDisk.Parse(IniOnDisk());
  EXPECT_EQ(onDisk.ReadInteger(kDat, "GotCount", 0), 5);
  EXPECT_EQ(onDisk.ReadInteger(kDat, "NowNo", 0), -1) << "shown as past";
  EXPECT_EQ(onDisk.ReadInteger(kDat, "PreNo", 0), 1) << "with its last rank";
  EXPECT_EQ(onDisk.ReadString(kDat, "LastModified", ""), " Tue, 08 Dec 2026 10:00:00 GMT");
  ASSERT_FALSE(ui.statusTexts.empty());
  EXPECT_EQ(ui.statusTexts.back(), S("過去ログ倉庫から取得しました."));
}

const std::string kWholeArchive =
    "HTTP/1.1 200 OK\r\nLast-Modified: Tue, 08 Dec 2026 10:00:00 "
    "GMT\r\nContent-Length: " +
    std::to_string(Dat(1, 5).size()) + "\r\n\r\n" + Dat(1, 5);
const std::string kMoved =
    "HTTP/1.1 302 Found\r\nLocation: http://news.example.net/board/kako/1234/12345/"
    "1234567890.dat\r\nContent-Length: 0\r\n\r\n";
const std::string kNotFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
const std::string kPageBody = "<html>not here</html>\n<>\n";
const std::string kPage = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kPageBody.size()) +
                          "\r\n\r\n" + kPageBody;

INSTANTIATE_TEST_SUITE_P(
    Answers, ArchiveTest,
    ::testing::Values(
        ArchiveCase{"MovedWhole", kMoved.c_str(), false, true, kWholeArchive.c_str(), true},
        ArchiveCase{"NotFoundWhole", kNotFound.c_str(), false, true, kWholeArchive.c_str(), true},
        ArchiveCase{"MovedRange", kMoved.c_str(), true, true, "{RANGE}", true},
        ArchiveCase{"NotFoundRange", kNotFound.c_str(), true, true, "{RANGE}", true},
        ArchiveCase{"ArchiveMissing", kMoved.c_str(), true, true, kNotFound.c_str(), false},
        ArchiveCase{"ArchiveAnswersAPage", kNotFound.c_str(), false, true, kPage.c_str(), false},
        ArchiveCase{"ServerErrorIsNoArchive",
                    "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n", false, false,
                    kWholeArchive.c_str(), false}),
    [](const ::testing::TestParamInfo<ArchiveCase>& info) { return info.param.name; });

class RefusedNameTest : public ThreadLogServerTest,
                        public ::testing::WithParamInterface<const char*> {};

TEST_P(RefusedNameTest, NamesThatAreNoThreadKeysAreNeverFetched) {
  EXPECT_FALSE(FetchThreadLog(list, GetParam()).IsOk());
  EXPECT_FALSE(UpdateThreadLog(list, GetParam()).IsOk());
  EXPECT_EQ(server.AcceptedConnections(), 0);
  EXPECT_FALSE(list.Ini()->SectionExists(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Names, RefusedNameTest,
                         ::testing::Values("../123.dat", "123", "abc.dat", "1/2.dat", "",
                                           "..\\123.dat"));

// Hooks that start a reload of the same board while the log download waits.
class ReloadingHooks final : public UiHooks {
 public:
  explicit ReloadingHooks(SubjectList& list) : list_(list) { SetUiHooks(this); }
  ~ReloadingHooks() override { SetUiHooks(nullptr); }
  void ShowMessage(MessageIcon, const std::string&, const std::string&) override {}
  void ShowHtmlPage(const std::string&, const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void ProcessEvents() override {
    if (reloaded || list_.RunningFetch() == nullptr) return;
    reloaded = true;
    refreshResult = list_.Refresh().IsOk();
  }
  bool reloaded = false;
  bool refreshResult = true;

 private:
  SubjectList& list_;
};

TEST_F(ThreadLogServerTest, AReloadOfTheBoardStopsTheRunningLogFetch) {
  std::string body = Dat(1, 3);
  server.AddConnection(test::HttpTestServer::Script().ReadRequest().SendInPieces(
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body, 20,
      std::chrono::milliseconds(30)));
  ReloadingHooks hooks(list);
  EXPECT_FALSE(FetchThreadLog(list, "123.dat").IsOk());
  EXPECT_TRUE(hooks.reloaded);
  EXPECT_FALSE(hooks.refreshResult) << "the reload only asks the running fetch to stop";
  EXPECT_FALSE(FileExists(LogPath()));
  EXPECT_EQ(list.RunningFetch(), nullptr);
  for (const auto& request : server.Requests()) {
    EXPECT_EQ(request.bytes.find("subject.txt"), std::string::npos)
        << "the reload did not download";
  }
}

}  // namespace
}  // namespace velkor
