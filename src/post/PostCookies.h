#pragma once

// The boards' cookies for the posts of this run (the identity cookies among them): kept in
// ini/cookies.txt across runs (net/CookieJar.h describes the file), read when first needed, and
// written after every answer to a post. Session cookies live only in memory, so they end with the
// process.

#include <cstdint>
#include <string>
#include <vector>

#include "base/Result.h"
#include "net/CookieJar.h"

namespace velkor {

class PostCookies {
 public:
  // The process's store of IniDir()/cookies.txt; read again when the data directory changed.
  static PostCookies& Shared();

  // The Cookie field for a request to `url` at calendar time `now`; empty when none matches.
  std::string CookieHeader(const std::string& url, std::int64_t now);
  // Takes the Set-Cookie values the answer to `url` carried (a refused one is passed over) and
  // writes the file. Fails when the file cannot be written, or when it exists but could not be
  // read: it is then never overwritten, and the cookies live in memory only.
  Outcome Take(const std::string& url, const std::vector<std::string>& setCookies,
               std::int64_t now);

 private:
  void Open(std::int64_t now);

  std::string path_;
  CookieJar jar_;
  Outcome loaded_;
};

}  // namespace velkor
