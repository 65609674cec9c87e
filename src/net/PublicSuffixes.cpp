#include "net/PublicSuffixes.h"

#include "base/FileUtil.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

// Used when the system list cannot be read.
constexpr std::string_view kBuiltInList =
    "co.jp\nne.jp\nor.jp\nac.jp\nad.jp\ned.jp\ngo.jp\ngr.jp\nlg.jp\n"
    "co.uk\norg.uk\nac.uk\ngov.uk\nltd.uk\nplc.uk\nme.uk\nnet.uk\n"
    "com.au\nnet.au\norg.au\nco.kr\nor.kr\nne.kr\ncom.cn\nnet.cn\norg.cn\n"
    "com.tw\nnet.tw\norg.tw\ncom.hk\nco.nz\nco.in\ncom.br\ncom.sg\n"
    "github.io\nblogspot.com\nappspot.com\nherokuapp.com\ncloudfront.net\n";

bool IsAsciiText(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

PublicSuffixes::PublicSuffixes(std::string_view listText) {
  for (std::string_view line : SplitLines(listText)) {
    const std::size_t blank = line.find_first_of(" \t");
    std::string_view rule = line.substr(0, blank);
    if (rule.empty() || rule.starts_with("//") || !IsAsciiText(rule)) continue;
    if (rule.front() == '!') {
      exceptions_.insert(AsciiLowerCopy(rule.substr(1)));
    } else if (rule.starts_with("*.")) {
      wildcards_.insert(AsciiLowerCopy(rule.substr(2)));
    } else {
      rules_.insert(AsciiLowerCopy(rule));
    }
  }
}

bool PublicSuffixes::IsPublicSuffix(std::string_view domain) const {
  if (domain.ends_with('.')) domain.remove_suffix(1);
  if (domain.empty()) return false;
  const std::string lower = AsciiLowerCopy(domain);
  const std::size_t dot = lower.find('.');
  if (dot == 0 || lower.find("..") != std::string::npos) return false;
  // An exception names a registrable domain below a wildcard; it wins over every other rule.
  if (exceptions_.contains(lower)) return false;
  if (rules_.contains(lower)) return true;
  if (dot == std::string::npos) return true;
  return wildcards_.contains(lower.substr(dot + 1));
}

const PublicSuffixes& SystemPublicSuffixes() {
  static const PublicSuffixes list = [] {
    if (auto text = ReadWholeFile(std::string(kSystemPublicSuffixFile))) {
      PublicSuffixes system(*text);
      if (system.RuleCount() > 0) return system;
    }
    return PublicSuffixes(kBuiltInList);
  }();
  return list;
}

}  // namespace velkor
