// Connect overrides as --connect-to and VELKOR_CONNECT_TO give them. Input: the first line is one
// --connect-to item, the rest the value of VELKOR_CONNECT_TO. Oracles: an accepted item has one
// "=", a HOST[:PORT] that a URL can name (so the rule can ever apply) and finds its own rule, and a
// target address without blank, control byte, comma or "="; the environment is accepted only when
// each of its non-empty comma items is accepted on its own.

#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "base/Sjis.h"
#include "net/ConnectOverrides.h"
#include "net/HttpUrl.h"

namespace {

using velkor::fuzz::AsText;

// Checks what an accepted item promises.
void CheckAccepted(std::string_view item) {
  const std::size_t eq = item.find('=');
  FUZZ_CHECK(eq != std::string_view::npos && item.find('=', eq + 1) == std::string_view::npos,
             "an accepted item has no single =", item);
  velkor::HttpUrl url;
  FUZZ_CHECK(velkor::ParseHttpUrl("http://" + std::string(item.substr(0, eq)) + "/", url) ==
                 velkor::HttpUrlStatus::kOk,
             "an accepted rule names a host no URL can name", item);
  auto target = velkor::FindConnectOverride(url.host, url.port);
  FUZZ_CHECK(target.has_value(), "an accepted rule does not apply to its own host", item);
  FUZZ_CHECK(!target->address.empty() && target->port != 0, "an accepted rule connects nowhere",
             item);
  for (char c : target->address) {
    const auto u = static_cast<unsigned char>(c);
    FUZZ_CHECK(u > 0x20 && u != 0x7F && c != ',' && c != '=',
               "an accepted target address holds a byte no address has", item);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const velkor::fuzz::Head input = velkor::fuzz::SplitHead(AsText(data, size));
  velkor::ClearConnectOverrides();
  if (velkor::AddConnectOverrides({std::string(input.line)}).IsOk()) CheckAccepted(input.line);

  const std::string environment(input.rest);
  if (environment.find('\0') != std::string::npos) return 0;  // no environment value holds one
  velkor::ClearConnectOverrides();
  ::setenv("VELKOR_CONNECT_TO", environment.c_str(), 1);
  const bool accepted = velkor::AddConnectOverridesFromEnvironment().IsOk();
  ::unsetenv("VELKOR_CONNECT_TO");
  bool eachAccepted = true;
  std::string_view rest = environment;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = velkor::TrimView(rest.substr(0, comma));
    if (!item.empty()) {
      velkor::ClearConnectOverrides();
      if (velkor::AddConnectOverrides({std::string(item)}).IsOk()) {
        CheckAccepted(item);
      } else {
        eachAccepted = false;
      }
    }
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  FUZZ_CHECK(accepted == eachAccepted,
             "the environment and its items one by one are judged differently", environment);
  velkor::ClearConnectOverrides();
  return 0;
}
