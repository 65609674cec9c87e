#include <cstdio>
#include <string>

#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "cli/CliCommand.h"
#include "cli/FavoriteBoardArgs.h"
#include "images/ImageCache.h"
#include "images/ImageFetch.h"
#include "images/ImageLinks.h"
#include "images/ImageRuleFile.h"
#include "net/FetchContext.h"

namespace velkor::cli {
namespace {

int RunImage(CliArgs& args);
int RunImageCache(CliArgs& args);

const CliCommand kImage = {
    "image", "URL [--out FILE]",
    "fetch the image of the link URL through the image cache (fetched only when not cached); "
    "print TYPE, WIDTH, HEIGHT and BYTES, TAB-separated, or \"error\" with the reason on stderr",
    RunImage};
const CliCommand kImageCache = {"image-cache", "[--clear]",
                                "print the number of cached images and their bytes, "
                                "TAB-separated; --clear empties the image cache first",
                                RunImageCache};

std::uint64_t CacheByteLimit() {
  return static_cast<std::uint64_t>(AppSettings().imageCacheMegabytes) << 20;
}

// "error" on stdout and the reason on stderr, exit 1.
int Refused(const std::string& sjisReason) {
  PrintLine("error");
  PrintSjisError(sjisReason);
  return kExitFailure;
}

int RunImage(CliArgs& args) {
  auto out = args.TakeOption("--out");
  if (!CheckArgs(args, kImage, 1, 1)) return kExitUsage;
  LoadConfiguration();
  const std::string& url = args.Positionals()[0];

  ImageRuleFile rules;
  if (Outcome loaded = rules.Load(ImageRuleFile::DefaultPath()); !loaded.IsOk()) {
    PrintSjisError(loaded.Reason());
  }
  for (const ImageRuleFile::Problem& problem : rules.Problems()) {
    PrintSjisError(ImageRuleProblemText(problem));
  }
  std::optional<ImageLink> link = ImageLinks(rules.Rules()).Classify(url);
  // A link that names no image by rule or file name is taken as the image's own URL.
  if (!link && IsFetchableUrl(url)) link = ImageLink{url, url, {}};
  if (!link) return Refused(Sjis("エラー:画像のURLが正しくありません"));

  ImageCache cache(ImageCache::DefaultDir(), CacheByteLimit());
  if (Outcome opened = cache.Open(); !opened.IsOk()) return Refused(opened.Reason());
  std::optional<ImageCache::Entry> entry = cache.Lookup(link->imageUrl);
  if (!entry) {
    FetchContext context;
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    ResultWith<FetchedImage, ImageFetchCode> fetched =
        FetchImage(session, link->imageUrl, link->referer);
    if (!fetched.IsOk()) return Refused(fetched.Reason());
    ResultWith<ImageCache::Entry, ImageStoreCode> stored =
        cache.Store(link->imageUrl, fetched.Value().body, fetched.Value().contentType);
    if (!stored.IsOk()) return Refused(stored.Reason());
    entry = stored.Value();
  } else if (Outcome flushed = cache.Flush(); !flushed.IsOk()) {
    PrintSjisError(flushed.Reason());
  }
  if (out) {
    const std::optional<std::string> bytes = ReadWholeFile(cache.ImagePath(link->imageUrl));
    if (!bytes) return Refused(Sjis("エラー:キャッシュの画像を読めません"));
    if (!ReplaceFile(*out, *bytes)) return Failure("cannot write " + *out);
  }
  PrintLine(std::string(ImageTypeName(entry->info.type)) + "\t" +
            std::to_string(entry->info.width) + "\t" + std::to_string(entry->info.height) + "\t" +
            std::to_string(entry->bytes));
  return kExitOk;
}

int RunImageCache(CliArgs& args) {
  const bool clear = args.TakeFlag("--clear");
  if (!CheckArgs(args, kImageCache, 0, 0)) return kExitUsage;
  LoadConfiguration();
  ImageCache cache(ImageCache::DefaultDir(), CacheByteLimit());
  Outcome result = clear ? cache.Clear() : cache.Open();
  if (!result.IsOk()) {
    PrintSjisError(result.Reason());
    return kExitFailure;
  }
  PrintLine(std::to_string(cache.Count()) + "\t" + std::to_string(cache.TotalBytes()));
  return kExitOk;
}

const CliCommandRegistrar kRegisterImage(kImage);
const CliCommandRegistrar kRegisterImageCache(kImageCache);

}  // namespace
}  // namespace velkor::cli
