#include "post/PostCookies.h"

#include "app/DataDir.h"

namespace velkor {

PostCookies& PostCookies::Shared() {
  static PostCookies cookies;
  return cookies;
}

void PostCookies::Open(std::int64_t now) {
  const std::string path = IniDir() + "/cookies.txt";
  if (path == path_) return;
  path_ = path;
  loaded_ = jar_.Load(path_, now);
}

std::string PostCookies::CookieHeader(const std::string& url, std::int64_t now) {
  Open(now);
  return jar_.CookieHeader(url, now);
}

Outcome PostCookies::Take(const std::string& url, const std::vector<std::string>& setCookies,
                          std::int64_t now) {
  Open(now);
  for (const std::string& value : setCookies) (void)jar_.Store(url, value, now);
  if (!loaded_.IsOk()) return loaded_;
  return jar_.Save(path_, now);
}

}  // namespace velkor
