#include "images/ImageRuleFile.h"

#include <filesystem>
#include <optional>
#include <system_error>

#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/Sjis.h"
#include "images/CapturePattern.h"
#include "images/ImageLinks.h"

namespace velkor {
namespace {

constexpr std::string_view kDefaultText =
    "# Image rules, one a line: PATTERN<TAB>IMAGE-URL[<TAB>REFERER]\r\n"
    "# PATTERN: a regular expression over a link; in the URLs $1-$9 are its groups, $0 the whole "
    "match, $$ a $\r\n"
    "^https?://(?:(?:www\\.|m\\.)?youtube\\.com/watch\\?(?:[^#]*&)?v=|youtu\\.be/)"
    "([-_0-9A-Za-z]{11})\thttps://i.ytimg.com/vi/$1/hqdefault.jpg\r\n";

bool IsComment(std::string_view line) {
  const std::string_view trimmed = TrimView(line);
  return trimmed.empty() || trimmed.front() == '#';
}

// Why a URL template is unusable for a pattern with `groups` groups, or empty.
std::string CheckTemplate(std::string_view text, int groups, std::string_view what) {
  const std::string field(what);
  if (!text.starts_with("http://") && !text.starts_with("https://")) {
    return field + " does not start with http:// or https://";
  }
  if (!IsLinkText(text)) return field + " holds a byte no link holds";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$') continue;
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (next >= '0' && next <= '9') {
      if (next - '0' > groups) {
        return field + " refers to $" + std::string(1, next) + ", which the pattern lacks";
      }
    } else if (next != '$') {
      return field + " has a $ that is neither $0-$9 nor $$";
    }
    ++i;
  }
  return {};
}

}  // namespace

std::string ImageRuleFile::DefaultPath() {
  return IniDir() + "/imagerules.txt";
}

std::string_view ImageRuleFile::DefaultText() {
  return kDefaultText;
}

Outcome ImageRuleFile::Load(const std::string& path) {
  rules_.clear();
  problems_.clear();
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::path(path), error) && !error) {
    Parse(DefaultText());
    return {};
  }
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return Failed(Sjis("エラー:imagerules.txtを読めません"));
  Parse(*text);
  return {};
}

void ImageRuleFile::Parse(std::string_view text) {
  rules_.clear();
  problems_.clear();
  int number = 0;
  for (std::string_view line : SplitLines(text)) {
    ++number;
    if (IsComment(line)) continue;
    const std::size_t first = line.find('\t');
    if (first == std::string_view::npos) {
      problems_.push_back({number, "no TAB between pattern and image URL"});
      continue;
    }
    const std::size_t second = line.find('\t', first + 1);
    if (second != std::string_view::npos && line.find('\t', second + 1) != std::string_view::npos) {
      problems_.push_back({number, "more than three fields"});
      continue;
    }
    ImageRule rule;
    rule.pattern = std::string(line.substr(0, first));
    rule.imageUrl = std::string(line.substr(first + 1, second - first - 1));
    if (second != std::string_view::npos) rule.referer = std::string(line.substr(second + 1));
    if (std::string reason = Check(rule); !reason.empty()) {
      problems_.push_back({number, std::move(reason)});
      continue;
    }
    rules_.push_back(std::move(rule));
  }
}

std::string ImageRuleFile::Check(const ImageRule& rule) {
  if (rule.pattern.empty()) return "empty pattern";
  for (const std::string* field : {&rule.pattern, &rule.imageUrl, &rule.referer}) {
    if (field->find_first_of(std::string_view("\t\r\n\0", 4)) != std::string::npos) {
      return "TAB, line break or zero byte in a field";
    }
  }
  CapturePattern pattern;
  if (const Outcome compiled = pattern.Compile(rule.pattern); !compiled.IsOk()) {
    return "bad pattern: " + compiled.Reason();
  }
  if (std::string reason = CheckTemplate(rule.imageUrl, pattern.GroupCount(), "image URL");
      !reason.empty()) {
    return reason;
  }
  if (rule.referer.empty()) return {};
  return CheckTemplate(rule.referer, pattern.GroupCount(), "referer");
}

std::string ImageRuleProblemText(const ImageRuleFile::Problem& problem) {
  return "imagerules.txt line " + std::to_string(problem.line) + " skipped: " + problem.reason;
}

std::string ExpandImageTemplate(std::string_view text, const std::vector<std::string>& groups) {
  std::string out;
  out.reserve(text.size() + 32);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '$' || i + 1 >= text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char next = text[++i];
    if (next == '$') {
      out.push_back('$');
    } else if (const auto index = static_cast<std::size_t>(next - '0'); index < groups.size()) {
      out.append(groups[index]);
    }
  }
  return out;
}

}  // namespace velkor
