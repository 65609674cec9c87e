#include <gtest/gtest.h>

#include <ostream>

#include "NetTestHelpers.h"
#include "net/ConnectOverrides.h"
#include "net/Fetch.h"
#include "support/NginxFixture.h"
#include "support/RecordingUiHooks.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::NginxFixture;
using test::S;

// A thread log of `lines` replies.
std::string Dat(int lines) {
  std::string dat;
  for (int i = 1; i <= lines; ++i) {
    dat += "name<>sage<>2024/01/02 03:04:0" + std::to_string(i % 10) + "<> reply " +
           std::to_string(i) + " <>" + (i == 1 ? "title" : "") + "\n";
  }
  return dat;
}

class FetchNginxTest : public testing::Test {
 protected:
  FetchNginxTest() {
    nginx.Route("board.test");
    recorder.Install(session);
  }
  ~FetchNginxTest() override { ClearConnectOverrides(); }

  test::TempDataDir dataDir;
  test::RecordingUiHooks ui;
  NginxFixture nginx;
  test::StatusRecorder recorder;
  HttpSession session;
};

struct DifferentialCase {
  const char* name;
  const char* path;       // below the document root
  std::string stored;     // the log held before the fetch
  std::string served;     // the server's file
  bool sendLastModified;  // send the served file's Last-Modified back
  FetchResult result;
  const char* text;  // a status text the fetch reports (UTF-8), or empty
  bool replaced;     // the log ends as the served file (else it stays as stored)
  const char* scheme = "http";
};

void PrintTo(const DifferentialCase& c, std::ostream* os) {
  *os << c.name;
}

const DifferentialCase kDifferentialCases[] = {
    {"RangeStartingWithLineFeedIsAppended", "board/dat/1.dat", Dat(3), Dat(7), false,
     FetchResult::kOk, "ok.", true},
    {"RangeNotStartingWithLineFeedRefetches", "board/dat/1.dat", Dat(5), "X" + Dat(6), false,
     FetchResult::kOk, "ログ詰まりのため再取得します.", true},
    {"RangeIgnoredGivesTheWholeFile", "norange/dat/1.dat", Dat(3), Dat(7), false, FetchResult::kOk,
     "警告:差分取得できません", true},
    {"NotModifiedLeavesTheLog", "board/dat/1.dat", Dat(3), Dat(7), true, FetchResult::kNotModified,
     "変更されていません.", false},
    {"ShorterFileRefetches", "board/dat/1.dat", Dat(9), Dat(2), false, FetchResult::kOk,
     "ログ詰まりのため再取得します.", true},
    {"NothingNewIsStillOk", "board/dat/1.dat", Dat(4), Dat(4), false, FetchResult::kOk, "ok.",
     true},
    {"OverTlsRangeAppended", "board/dat/1.dat", Dat(30), Dat(900), false, FetchResult::kOk, "ok.",
     true, "https"},
    {"OverTlsMismatchRefetches", "board/dat/1.dat", Dat(5), "X" + Dat(6), false, FetchResult::kOk,
     "ログ詰まりのため再取得します.", true, "https"},
    {"OverTlsNotModified", "board/dat/1.dat", Dat(3), Dat(7), true, FetchResult::kNotModified,
     "変更されていません.", false, "https"},
    {"OverTlsChunkedWholeFile", "chunked/dat/1.dat", Dat(3), Dat(700), false, FetchResult::kOk,
     "警告:差分取得できません", true, "https"},
    // The plain server answers 301 to the same URL over https, which is followed.
    {"PlainHostRedirectingToHttps", "tohttps/dat/1.dat", Dat(3), Dat(7), false, FetchResult::kOk,
     "ok.", true},
};

class DifferentialNginxTest : public FetchNginxTest,
                              public testing::WithParamInterface<DifferentialCase> {};

TEST_P(DifferentialNginxTest, StoredBytesMatchTheServer) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  const DifferentialCase& c = GetParam();
  nginx.WriteFile(c.path, c.served);
  std::string log = c.stored;
  std::string lastModified =
      c.sendLastModified ? NginxFixture::LastModifiedText(NginxFixture::kFixedTime) : "";
  FetchResult result = FetchDifferential(session, std::string(c.scheme) + "://board.test/" + c.path,
                                         log, lastModified)
                           .Code();
  EXPECT_EQ(result, c.result);
  EXPECT_EQ(log, c.replaced ? c.served : c.stored);
  EXPECT_TRUE(recorder.Saw(S(c.text)));
  // Only a mismatch or a 416 may fall back to fetching the whole file.
  EXPECT_EQ(recorder.Saw(S("ログ詰まりのため再取得します.")),
            std::string(c.text) == "ログ詰まりのため再取得します.");
  if (result == FetchResult::kOk) {
    EXPECT_EQ(lastModified, NginxFixture::LastModifiedText(NginxFixture::kFixedTime));
  }
  // A chunked answer ends at its last chunk: the connection stays open for the next request.
  if (std::string_view(c.path).rfind("chunked/", 0) == 0) {
    EXPECT_EQ(session.State(), kSessionConnected);
    EXPECT_TRUE(session.IsTls());
  }
}

INSTANTIATE_TEST_SUITE_P(Answers, DifferentialNginxTest, testing::ValuesIn(kDifferentialCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FetchNginxTest, RefetchAfterMismatchAsksForTheWholeFileUnconditionally) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  std::string served = "X" + Dat(20);
  nginx.WriteFile("board/dat/2.dat", served);
  std::string log = Dat(10);
  // A stale Last-Modified must not be sent again after the mismatch (it would give a 304).
  std::string lastModified = " Mon, 01 Jan 2024 00:00:00 GMT";
  ASSERT_EQ(
      FetchDifferential(session, "http://board.test/board/dat/2.dat", log, lastModified).Code(),
      FetchResult::kOk);
  EXPECT_EQ(log, served);
}

TEST_F(FetchNginxTest, GrowingLogFollowsTheServerStepByStep) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  nginx.WriteFile("board/dat/3.dat", Dat(1), NginxFixture::kFixedTime);
  std::string log;
  std::string lastModified;
  ASSERT_EQ(
      FetchFull(session, "http://board.test/board/dat/3.dat", log, lastModified, false).Code(),
      FetchResult::kOk);
  for (int lines = 2; lines <= 5; ++lines) {
    nginx.WriteFile("board/dat/3.dat", Dat(lines), NginxFixture::kFixedTime + lines);
    HttpSession next;
    ASSERT_EQ(
        FetchDifferential(next, "http://board.test/board/dat/3.dat", log, lastModified).Code(),
        FetchResult::kOk);
    EXPECT_EQ(log, Dat(lines));
    EXPECT_EQ(lastModified, NginxFixture::LastModifiedText(NginxFixture::kFixedTime + lines));
  }
}

struct FullCase {
  const char* name;
  const char* url;
  const char* path;  // below the document root
  bool gzip;         // asked for, and nginx compresses text
};

void PrintTo(const FullCase& c, std::ostream* os) {
  *os << c.name;
}

const FullCase kFullCases[] = {
    {"PlainGzip", "http://board.test/board/subject.txt", "board/subject.txt", true},
    {"OverTlsGzip", "https://board.test/board/subject.txt", "board/subject.txt", true},
    {"OverTlsPlain", "https://board.test/board/dat/9.dat", "board/dat/9.dat", false},
    {"PlainHostRedirectingToHttps", "http://board.test/tohttps/subject.txt", "tohttps/subject.txt",
     true},
};

class FullNginxTest : public FetchNginxTest, public testing::WithParamInterface<FullCase> {};

TEST_P(FullNginxTest, StoredBytesMatchTheServerThenNotModified) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  const FullCase& c = GetParam();
  std::string served;
  for (int i = 0; i < 3000; ++i) served += std::to_string(1700000000 + i) + ".dat<>t (5)\n";
  nginx.WriteFile(c.path, served);
  std::string out;
  std::string lastModified;
  ASSERT_EQ(FetchFull(session, c.url, out, lastModified, c.gzip).Code(), FetchResult::kOk);
  EXPECT_EQ(out, served);
  EXPECT_EQ(recorder.Saw(S("gzipデコード...")), c.gzip);
  EXPECT_EQ(lastModified, NginxFixture::LastModifiedText(NginxFixture::kFixedTime));
  HttpSession again;
  recorder.Install(again);
  std::string second = "kept";
  EXPECT_EQ(FetchFull(again, c.url, second, lastModified, c.gzip).Code(),
            FetchResult::kNotModified);
  EXPECT_EQ(second, "kept");
}

INSTANTIATE_TEST_SUITE_P(Answers, FullNginxTest, testing::ValuesIn(kFullCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct CertificateCase {
  const char* name;
  const char* host;
  const char* text;  // UTF-8
};

void PrintTo(const CertificateCase& c, std::ostream* os) {
  *os << c.name;
}

const CertificateCase kCertificateCases[] = {
    {"MadeForAnotherName", NginxFixture::kWrongNameHost,
     "エラー:サーバ証明書のホスト名が一致しません"},
    {"SignedByAnUnknownCa", NginxFixture::kUnknownCaHost, "エラー:サーバ証明書を信頼できません"},
};

class CertificateTest : public FetchNginxTest,
                        public testing::WithParamInterface<CertificateCase> {};

TEST_P(CertificateTest, FailsWithNothingStored) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  const CertificateCase& c = GetParam();
  nginx.Route(c.host);
  nginx.WriteFile("board/dat/1.dat", Dat(9));
  std::string url = std::string("https://") + c.host + "/board/dat/1.dat";
  std::string log = Dat(3);
  std::string lastModified;
  EXPECT_EQ(FetchDifferential(session, url, log, lastModified).Code(), FetchResult::kNoConnection);
  EXPECT_EQ(recorder.texts.back(), S(c.text));
  EXPECT_EQ(log, Dat(3));
  std::string out = "before";
  EXPECT_EQ(FetchFull(session, url, out, lastModified, true).Code(), FetchResult::kNoConnection);
  EXPECT_EQ(out, "before");
  EXPECT_FALSE(recorder.Saw(std::string(url)));  // no request was ever sent
}

INSTANTIATE_TEST_SUITE_P(Certificates, CertificateTest, testing::ValuesIn(kCertificateCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FetchNginxTest, NotFound) {
  ASSERT_TRUE(nginx.IsRunning()) << nginx.ErrorLog();
  std::string out;
  std::string lastModified;
  EXPECT_EQ(FetchFull(session, "http://board.test/none.txt", out, lastModified, false).Code(),
            FetchResult::kFailed);
  EXPECT_EQ(recorder.texts.back(), "code:404");
}

}  // namespace
}  // namespace velkor
