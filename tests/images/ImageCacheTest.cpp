#include "images/ImageCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <set>
#include <string>

#include "TestImages.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "support/TempDataDir.h"

namespace velkor {
namespace {

using test::MakeGif;
using test::MakeJpeg;
using test::MakePng;
using test::S;

// The names of the files in `dir`.
std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

std::string NameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

class ImageCacheTest : public testing::Test {
 protected:
  test::TempDataDir data_;
  const std::string dir_ = ImageCache::DefaultDir();
};

TEST_F(ImageCacheTest, StoresAnImageThatALaterRunFindsWithoutFetching) {
  ASSERT_EQ(dir_, data_.Path() + "/cache/img");
  const std::string url = "http://img.example/a.jpg?x=1&y=2";
  const std::string jpeg = MakeJpeg(640, 480);
  {
    ImageCache cache(dir_);
    ASSERT_TRUE(cache.Open().IsOk());
    EXPECT_FALSE(cache.Lookup(url));
    const auto stored = cache.Store(url, jpeg, "image/jpeg");
    ASSERT_TRUE(stored.IsOk()) << stored.Reason();
    EXPECT_EQ(stored.Value().info.width, 640u);
  }
  ImageCache cache(dir_);
  ASSERT_TRUE(cache.Open().IsOk());
  const std::optional<ImageCache::Entry> entry = cache.Lookup(url);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->url, url);
  EXPECT_EQ(entry->info.type, ImageType::kJpeg);
  EXPECT_EQ(entry->info.width, 640u);
  EXPECT_EQ(entry->info.height, 480u);
  EXPECT_EQ(entry->bytes, jpeg.size());
  EXPECT_EQ(ReadWholeFile(cache.ImagePath(url)), jpeg);
  // The file is named by the URL's SHA-256.
  EXPECT_EQ(NameOf(cache.ImagePath("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad.img");
  EXPECT_EQ(data_.ReadFile("cache/img/index.txt"), "velkor image cache 1\r\n1\tjpeg\t640\t480\t" +
                                                       std::to_string(jpeg.size()) + "\t0\t" + url +
                                                       "\r\n");
  EXPECT_EQ(cache.Count(), 1u);
  EXPECT_EQ(cache.TotalBytes(), jpeg.size());
}

struct RefusalCase {
  const char* name;
  std::string url;
  std::string body;
  const char* contentType;
  const char* reason;  // UTF-8
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
  *os << c.name;
}

class ImageCacheRefusalTest : public ImageCacheTest,
                              public testing::WithParamInterface<RefusalCase> {};

// What the cache refuses leaves it as it was: no file, no index line.
TEST_P(ImageCacheRefusalTest, RefusesAndWritesNothing) {
  const RefusalCase& c = GetParam();
  ImageCache cache(dir_);
  ASSERT_TRUE(cache.Open().IsOk());
  ASSERT_TRUE(cache.Store("http://img.example/kept.png", MakePng(1, 1), "").IsOk());
  const std::string index = data_.ReadFile("cache/img/index.txt");

  const auto stored = cache.Store(c.url, c.body, c.contentType);
  EXPECT_EQ(stored.Code(), ImageStoreCode::kRefused);
  EXPECT_EQ(stored.Reason(), S(c.reason));
  EXPECT_EQ(data_.ReadFile("cache/img/index.txt"), index);
  EXPECT_EQ(FilesIn(dir_).size(), 3u);  // index, lock, the image kept
  EXPECT_EQ(cache.Count(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, ImageCacheRefusalTest,
    testing::Values(RefusalCase{"HtmlNamedJpg", "http://img.example/a.jpg", "<html>gone</html>",
                                "text/html", "エラー:画像ではなくHTMLページが返されました"},
                    RefusalCase{"NameLies", "http://img.example/a.jpg", MakePng(2, 2), "",
                                "エラー:中身はPNGなのに、名前はJPEGです"},
                    RefusalCase{"Truncated", "http://img.example/a.gif",
                                MakeGif(2, 2).substr(0, 30), "", "エラー:画像が途中で切れています"},
                    RefusalCase{"Bomb", "http://img.example/a.png", MakePng(100000, 100000),
                                "image/png",
                                "エラー:画像が大きすぎます(100000×100000、5000万画素まで)"},
                    RefusalCase{"Over20MB", "http://img.example/a.png",
                                MakePng(2, 2) + std::string(20 << 20, 'x'), "",
                                "エラー:画像が20MBを超えています"},
                    RefusalCase{"LineBreakInUrl",
                                "http://img.example/a.png\r\n1\tpng\t1\t1\t1\t0\thttp://x/",
                                MakePng(2, 2), "", "エラー:画像のURLが正しくありません"},
                    RefusalCase{"TabInUrl", "http://img.example/a\t.png", MakePng(2, 2), "",
                                "エラー:画像のURLが正しくありません"}));

// Over the limit the least recently used images go first; using an image, storing it or its
// thumbnail makes it recent, and the newest image stays even when it alone is over the limit.
TEST_F(ImageCacheTest, EvictsTheLeastRecentlyUsedImages) {
  const std::string png = MakePng(3, 3);
  ImageCache cache(dir_, 3 * png.size());
  ASSERT_TRUE(cache.Open().IsOk());
  for (const char* name : {"a", "b", "c"}) {
    ASSERT_TRUE(cache.Store(std::string("http://i.example/") + name + ".png", png, "").IsOk());
  }
  ASSERT_TRUE(cache.Lookup("http://i.example/a.png"));
  ASSERT_TRUE(cache.Store("http://i.example/d.png", png, "").IsOk());
  EXPECT_FALSE(cache.Lookup("http://i.example/b.png"));
  EXPECT_FALSE(std::filesystem::exists(cache.ImagePath("http://i.example/b.png")));
  EXPECT_EQ(cache.Count(), 3u);

  // A thumbnail's bytes count too: storing c's pushes out a, now the oldest.
  ASSERT_TRUE(cache.StoreThumbnail("http://i.example/c.png", MakePng(1, 1)).IsOk());
  EXPECT_FALSE(cache.Lookup("http://i.example/a.png"));
  EXPECT_TRUE(cache.Lookup("http://i.example/d.png"));
  EXPECT_TRUE(cache.Lookup("http://i.example/c.png"));
  EXPECT_EQ(cache.TotalBytes(), 2 * png.size() + MakePng(1, 1).size());

  cache.SetByteLimit(1);
  ASSERT_TRUE(cache.Store("http://i.example/e.png", png, "").IsOk());
  EXPECT_EQ(cache.Count(), 1u);
  EXPECT_TRUE(cache.Lookup("http://i.example/e.png"));
  EXPECT_EQ(FilesIn(dir_),
            (std::set<std::string>{"index.txt", "lock",
                                   NameOf(cache.ImagePath("http://i.example/e.png"))}));
}

// The order of use reaches the index with Flush, so another run evicts by it.
TEST_F(ImageCacheTest, UsesSurviveARunAfterFlush) {
  const std::string png = MakePng(3, 3);
  {
    ImageCache cache(dir_);
    ASSERT_TRUE(cache.Open().IsOk());
    ASSERT_TRUE(cache.Store("http://i.example/old.png", png, "").IsOk());
    ASSERT_TRUE(cache.Store("http://i.example/new.png", png, "").IsOk());
    ASSERT_TRUE(cache.Lookup("http://i.example/old.png"));
    ASSERT_TRUE(cache.Flush().IsOk());
  }
  ImageCache cache(dir_, 2 * png.size());
  ASSERT_TRUE(cache.Open().IsOk());
  ASSERT_TRUE(cache.Store("http://i.example/third.png", png, "").IsOk());
  EXPECT_TRUE(cache.Lookup("http://i.example/old.png"));
  EXPECT_FALSE(cache.Lookup("http://i.example/new.png"));
}

// Two programs on one cache (the window and the CLI): each change reads the index afresh, so
// neither loses the other's images.
TEST_F(ImageCacheTest, TwoCachesOnOneFolderKeepEachOthersImages) {
  ImageCache window(dir_);
  ImageCache cli(dir_);
  ASSERT_TRUE(window.Open().IsOk());
  ASSERT_TRUE(cli.Open().IsOk());
  ASSERT_TRUE(window.Store("http://i.example/1.png", MakePng(1, 1), "").IsOk());
  ASSERT_TRUE(cli.Store("http://i.example/2.png", MakePng(2, 2), "").IsOk());
  ASSERT_TRUE(window.Store("http://i.example/3.png", MakePng(3, 3), "").IsOk());
  ImageCache later(dir_);
  ASSERT_TRUE(later.Open().IsOk());
  EXPECT_EQ(later.Count(), 3u);
  EXPECT_TRUE(later.Lookup("http://i.example/2.png"));
}

// What a crash can leave: an image written before its index line, temporary files of unfinished
// writes, index lines whose files are gone or were changed, damaged lines. Opening makes every
// line name a whole file and every file be named by a line.
TEST_F(ImageCacheTest, OpenRepairsWhatACrashLeaves) {
  const std::string png = MakePng(4, 4);
  ImageCache cache(dir_);
  ASSERT_TRUE(cache.Open().IsOk());
  for (const char* name : {"kept", "gone", "changed", "thumb"}) {
    ASSERT_TRUE(cache.Store(std::string("http://i.example/") + name + ".png", png, "").IsOk());
  }
  ASSERT_TRUE(cache.StoreThumbnail("http://i.example/thumb.png", MakePng(1, 1)).IsOk());
  std::filesystem::remove(cache.ImagePath("http://i.example/gone.png"));
  ASSERT_TRUE(ReplaceFile(cache.ImagePath("http://i.example/changed.png"), png + "x"));
  std::filesystem::remove(cache.ThumbnailPath("http://i.example/thumb.png"));
  ASSERT_TRUE(ReplaceFile(cache.ImagePath("http://i.example/orphan.png"), png));
  ASSERT_TRUE(ReplaceFile(dir_ + "/index.txt.tmpAbC123", "velkor image cache 1\r\n"));
  ASSERT_TRUE(AppendToFile(dir_ + "/index.txt", "garbage line\r\n7\tpng\t1\t1\t1\t0\r\n"));

  ImageCache reopened(dir_);
  ASSERT_TRUE(reopened.Open().IsOk());
  EXPECT_EQ(reopened.Count(), 2u);
  EXPECT_TRUE(reopened.Lookup("http://i.example/kept.png"));
  const std::optional<ImageCache::Entry> thumb = reopened.Lookup("http://i.example/thumb.png");
  ASSERT_TRUE(thumb);
  EXPECT_EQ(thumb->thumbnailBytes, 0u);
  EXPECT_EQ(FilesIn(dir_),
            (std::set<std::string>{"index.txt", "lock",
                                   NameOf(cache.ImagePath("http://i.example/kept.png")),
                                   NameOf(cache.ImagePath("http://i.example/thumb.png"))}));
  const std::string index = data_.ReadFile("cache/img/index.txt");
  EXPECT_EQ(index.find("garbage"), std::string::npos);
  EXPECT_EQ(index.find("gone.png"), std::string::npos);
  EXPECT_EQ(index.find("changed.png"), std::string::npos);
}

TEST_F(ImageCacheTest, ThumbnailsBelongToCachedImagesAndAreSmallPngs) {
  ImageCache cache(dir_);
  ASSERT_TRUE(cache.Open().IsOk());
  const std::string url = "http://i.example/a.gif";
  EXPECT_EQ(cache.StoreThumbnail(url, MakePng(10, 10)).Code(), ImageStoreCode::kRefused);
  ASSERT_TRUE(cache.Store(url, MakeGif(400, 300), "image/gif").IsOk());
  EXPECT_EQ(cache.StoreThumbnail(url, MakeGif(10, 10)).Code(), ImageStoreCode::kRefused);
  EXPECT_EQ(cache.StoreThumbnail(url, MakePng(201, 150)).Code(), ImageStoreCode::kRefused);
  ASSERT_TRUE(cache.StoreThumbnail(url, MakePng(200, 150)).IsOk());
  EXPECT_EQ(ReadWholeFile(cache.ThumbnailPath(url)), MakePng(200, 150));
  EXPECT_EQ(cache.Lookup(url)->thumbnailBytes, MakePng(200, 150).size());

  // A new image for the URL makes the old thumbnail wrong: it goes.
  ASSERT_TRUE(cache.Store(url, MakeGif(40, 30), "").IsOk());
  EXPECT_EQ(cache.Lookup(url)->thumbnailBytes, 0u);
  EXPECT_FALSE(std::filesystem::exists(cache.ThumbnailPath(url)));
}

TEST_F(ImageCacheTest, ClearRemovesEveryImageAndThumbnail) {
  ImageCache cache(dir_);
  ASSERT_TRUE(cache.Open().IsOk());
  ASSERT_TRUE(cache.Store("http://i.example/a.png", MakePng(5, 5), "").IsOk());
  ASSERT_TRUE(cache.StoreThumbnail("http://i.example/a.png", MakePng(1, 1)).IsOk());
  ASSERT_TRUE(cache.Store("http://i.example/b.png", MakePng(6, 6), "").IsOk());
  ASSERT_TRUE(ReplaceFile(dir_ + "/stray.tmp", "x"));
  std::filesystem::create_directory(dir_ + "/not-ours");

  ASSERT_TRUE(cache.Clear().IsOk());
  EXPECT_EQ(cache.Count(), 0u);
  EXPECT_EQ(cache.TotalBytes(), 0u);
  EXPECT_FALSE(cache.Lookup("http://i.example/a.png"));
  EXPECT_EQ(FilesIn(dir_), (std::set<std::string>{"index.txt", "lock", "not-ours"}));
  ImageCache reopened(dir_);
  ASSERT_TRUE(reopened.Open().IsOk());
  EXPECT_EQ(reopened.Count(), 0u);
}

// A cache that was never used is empty and creates nothing until it stores; an index that cannot
// be read is a failure, not an empty cache that the next store would overwrite.
TEST_F(ImageCacheTest, OpensNothingAndRefusesAnUnreadableIndex) {
  ImageCache cache(dir_);
  ASSERT_TRUE(cache.Open().IsOk());
  EXPECT_EQ(cache.Count(), 0u);
  ASSERT_TRUE(cache.Flush().IsOk());
  ASSERT_TRUE(cache.Clear().IsOk());
  EXPECT_FALSE(data_.Exists("cache"));

  std::filesystem::create_directories(dir_ + "/index.txt");
  const Outcome opened = cache.Open();
  EXPECT_FALSE(opened.IsOk());
  EXPECT_EQ(opened.Reason(), S("エラー:画像キャッシュの目録を読めません"));
  EXPECT_EQ(cache.Store("http://i.example/a.png", MakePng(1, 1), "").Code(),
            ImageStoreCode::kNotWritten);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/index.txt"));
}

}  // namespace
}  // namespace velkor
