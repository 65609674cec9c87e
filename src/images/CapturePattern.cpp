#include "images/CapturePattern.h"

#include <oniguruma.h>

#include <memory>
#include <utility>

#include "search/RegexEngine.h"

namespace velkor {
namespace {

struct RegionFree {
  void operator()(OnigRegion* region) const { onig_region_free(region, 1); }
};
struct MatchParamFree {
  void operator()(OnigMatchParam* param) const { onig_free_match_param(param); }
};

}  // namespace

CapturePattern::CapturePattern(CapturePattern&& other) noexcept
    : regex_(std::exchange(other.regex_, nullptr)), groups_(std::exchange(other.groups_, 0)) {}

CapturePattern& CapturePattern::operator=(CapturePattern&& other) noexcept {
  if (this != &other) {
    if (regex_ != nullptr) onig_free(static_cast<OnigRegex>(regex_));
    regex_ = std::exchange(other.regex_, nullptr);
    groups_ = std::exchange(other.groups_, 0);
  }
  return *this;
}

CapturePattern::~CapturePattern() {
  if (regex_ != nullptr) onig_free(static_cast<OnigRegex>(regex_));
}

Outcome CapturePattern::Compile(std::string_view pattern) {
  if (regex_ != nullptr) onig_free(static_cast<OnigRegex>(regex_));
  regex_ = nullptr;
  groups_ = 0;
  if (!InitialiseOniguruma()) return Failed("the regular expression library did not start");
  OnigRegex regex = nullptr;
  OnigErrorInfo info{};
  const auto* begin = reinterpret_cast<const OnigUChar*>(pattern.data());
  const int rc = onig_new(&regex, begin, begin + pattern.size(), ONIG_OPTION_NONE,
                          ONIG_ENCODING_SJIS, ONIG_SYNTAX_RUBY, &info);
  if (rc != ONIG_NORMAL) {
    OnigUChar message[ONIG_MAX_ERROR_MESSAGE_LEN];
    onig_error_code_to_str(message, rc, &info);
    return Failed(reinterpret_cast<const char*>(message));
  }
  regex_ = regex;
  groups_ = onig_number_of_captures(regex);
  return {};
}

std::optional<std::vector<std::string>> CapturePattern::Match(std::string_view text) const {
  if (regex_ == nullptr) return std::nullopt;
  const std::unique_ptr<OnigRegion, RegionFree> region(onig_region_new());
  const std::unique_ptr<OnigMatchParam, MatchParamFree> param(onig_new_match_param());
  if (!region || !param) return std::nullopt;
  onig_initialize_match_param(param.get());
  onig_set_retry_limit_in_match_of_match_param(param.get(), kRetryLimitInMatch);
  onig_set_retry_limit_in_search_of_match_param(param.get(), kRetryLimitInSearch);
  const auto* begin = reinterpret_cast<const OnigUChar*>(text.data());
  const auto* end = begin + text.size();
  if (onig_search_with_param(static_cast<OnigRegex>(regex_), begin, end, begin, end, region.get(),
                             ONIG_OPTION_NONE, param.get()) < 0) {
    return std::nullopt;
  }
  std::vector<std::string> groups;
  for (int i = 0; i < region->num_regs; ++i) {
    if (region->beg[i] < 0) {
      groups.emplace_back();
    } else {
      groups.emplace_back(text.substr(static_cast<std::size_t>(region->beg[i]),
                                      static_cast<std::size_t>(region->end[i] - region->beg[i])));
    }
  }
  return groups;
}

}  // namespace velkor
