#pragma once

// The values that tie the program to one board service. Change them here, and only here, to point
// the program at another deployment.

#include <array>
#include <string_view>

namespace velkor {

// The board menu page fetched by default ("ボード一覧更新").
inline constexpr std::string_view kBoardMenuUrl = "https://menu.5ch.io/bbsmenu.html";
// The service's primary domain and its sister domain.
inline constexpr std::string_view kPrimaryDomain = "5ch.io";
inline constexpr std::string_view kSisterDomain = "bbspink.com";
// Default of CacheServer/Match: boards whose host ends with this are served by the cache server.
inline constexpr std::string_view kCacheServerMatch = ".5ch.io";
// Default of CacheServer/Host: empty, so the cache-server feature is off until the user names one.
inline constexpr std::string_view kCacheServerHost = "";
// Link redirector hosts whose prefix is stripped from links in thread pages, in the order tried.
inline constexpr std::array<std::string_view, 2> kLinkRedirectorHosts = {"ime.nu", "pinktower.com"};

// Sent as the HTTP User-Agent with every request and shown as the about page's heading, unless
// config.ini names another ([Kodawari] UserAgent, Settings::userAgent). "Monazilla/1.00" is the
// token the boards expect from a reader; posts from any other agent are refused.
inline constexpr std::string_view kUserAgent = "Monazilla/1.00 (Velkor/0.7.8)";

}  // namespace velkor
