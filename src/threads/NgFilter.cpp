#include "threads/NgFilter.h"

#include <algorithm>
#include <cstring>

#include "base/Sjis.h"
#include "search/RegexEngine.h"
#include "threads/PosterIds.h"
#include "threads/ReplyAnswers.h"
#include "threads/ReplyChars.h"

namespace velkor {
namespace {

bool StartsWith(std::string_view text, std::size_t pos, std::string_view prefix) {
  return text.size() - pos >= prefix.size() && text.compare(pos, prefix.size(), prefix) == 0;
}

void AppendVisibleText(std::string& out, std::string_view html) {
  struct Entity {
    std::string_view text;
    char value;
  };
  constexpr Entity kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&amp;", '&'}, {"&nbsp;", ' '}};
  std::size_t pos = 0;
  while (pos < html.size()) {
    const std::size_t stop = html.find_first_of("<&", pos);
    if (stop == std::string_view::npos) break;
    out.append(html, pos, stop - pos);
    pos = stop;
    if (html[pos] == '<') {
      if (StartsWith(html, pos, "<br>")) out.push_back('\n');
      const std::size_t close = html.find('>', pos);
      if (close == std::string_view::npos) return;
      pos = close + 1;
      continue;
    }
    const auto entity =
        std::find_if(std::begin(kEntities), std::end(kEntities),
                     [&](const Entity& e) { return StartsWith(html, pos, e.text); });
    if (entity == std::end(kEntities)) {
      out.push_back('&');
      ++pos;
    } else {
      out.push_back(entity->value);
      pos += entity->text.size();
    }
  }
  out.append(html, pos);
}

// True when `word` occurs in `text` starting at a character (never inside a two-byte one).
bool ContainsWord(std::string_view text, std::string_view word) {
  if (word.empty() || text.size() < word.size()) return false;
  std::size_t from = 0;
  std::size_t known = 0;
  while (from + word.size() <= text.size()) {
    const void* hit = memmem(text.data() + from, text.size() - from, word.data(), word.size());
    if (hit == nullptr) return false;
    const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
    if (IsCharStart(text, known, pos)) return true;
    from = pos + 1;
  }
  return false;
}

NgVerdict Stronger(NgVerdict a, NgVerdict b) {
  return static_cast<std::uint8_t>(a) >= static_cast<std::uint8_t>(b) ? a : b;
}

}  // namespace

bool NgOutcome::AnyHidden() const {
  return std::find(verdicts.begin(), verdicts.end(), NgVerdict::kHidden) != verdicts.end();
}

bool NgOutcome::AnyFiltered() const {
  return std::any_of(verdicts.begin(), verdicts.end(),
                     [](NgVerdict v) { return v != NgVerdict::kShown; });
}

const std::string& AboneText() {
  static const std::string text = Sjis("あぼーん");
  return text;
}

std::string NgVisibleText(std::string_view html) {
  std::string out;
  out.reserve(html.size());
  AppendVisibleText(out, html);
  return out;
}

NgFilter::NgFilter() = default;
NgFilter::NgFilter(NgFilter&&) noexcept = default;
NgFilter& NgFilter::operator=(NgFilter&&) noexcept = default;
NgFilter::~NgFilter() = default;

NgFilter::NgFilter(const std::vector<NgRule>& rules, std::string_view board) {
  for (const NgRule& rule : rules) {
    if (!rule.board.empty() && rule.board != board) continue;
    if (rule.pattern.empty()) continue;
    Compiled compiled{rule, nullptr};
    if (rule.kind == NgKind::kRegex) {
      compiled.engine = std::make_unique<RegexEngine>();
      std::string error;
      if (!PrepareNgRegex(*compiled.engine, rule.pattern, error)) continue;
    }
    needsMessage_ |= rule.kind == NgKind::kWord || rule.kind == NgKind::kRegex;
    needsName_ |= rule.kind == NgKind::kName;
    needsId_ |= rule.kind == NgKind::kId;
    chains_ |= rule.chain;
    rules_.push_back(std::move(compiled));
  }
}

std::vector<NgVerdict> NgFilter::Judge(const ReplyList& replies) const {
  const int n = replies.Count();
  std::vector<NgVerdict> verdicts(static_cast<std::size_t>(n), NgVerdict::kShown);
  if (rules_.empty()) return verdicts;
  // What the chaining rules alone make of each reply; this is what its answers inherit.
  std::vector<NgVerdict> chained(static_cast<std::size_t>(n), NgVerdict::kShown);
  std::string message;
  std::string name;
  for (int k = 1; k <= n; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    if (needsMessage_) {
      message.clear();
      AppendVisibleText(message, replies.Message(k));
    }
    if (needsName_) {
      name.clear();
      AppendVisibleText(name, replies.Name(k));
    }
    const std::string_view id = needsId_ ? ReplyIdOf(replies.Date(k)) : std::string_view();
    for (const Compiled& c : rules_) {
      bool hit = false;
      switch (c.rule.kind) {
        case NgKind::kWord:
          hit = ContainsWord(message, c.rule.pattern);
          break;
        case NgKind::kName:
          hit = ContainsWord(name, c.rule.pattern);
          break;
        case NgKind::kMail:
          hit = ContainsWord(replies.Mail(k), c.rule.pattern);
          break;
        case NgKind::kId:
          hit = !id.empty() && id == c.rule.pattern;
          break;
        case NgKind::kRegex:
          hit = c.engine->Matches(message);
          break;
      }
      if (!hit) continue;
      const NgVerdict verdict = c.rule.hidden ? NgVerdict::kHidden : NgVerdict::kAbone;
      verdicts[i] = Stronger(verdicts[i], verdict);
      if (c.rule.chain) chained[i] = Stronger(chained[i], verdict);
      // Nothing a further rule matches can change the outcome.
      if (verdicts[i] == NgVerdict::kHidden && (chained[i] == NgVerdict::kHidden || !chains_)) {
        break;
      }
    }
  }
  if (!chains_) return verdicts;
  // Answers point back at earlier replies, so one pass in reply order carries the chain along.
  const ReplyAnswers answers(replies);
  for (int k = 1; k <= n; ++k) {
    const auto i = static_cast<std::size_t>(k - 1);
    for (int r : answers.ReferencesOf(k)) {
      if (r >= k) break;
      chained[i] = Stronger(chained[i], chained[static_cast<std::size_t>(r - 1)]);
    }
    verdicts[i] = Stronger(verdicts[i], chained[i]);
  }
  return verdicts;
}

NgOutcome NgFilter::Apply(const ReplyList& replies) const {
  NgOutcome outcome;
  outcome.verdicts = Judge(replies);
  outcome.replies.Reserve(static_cast<std::size_t>(replies.Count()));
  for (int k = 1; k <= replies.Count(); ++k) {
    if (outcome.verdicts[static_cast<std::size_t>(k - 1)] == NgVerdict::kShown) {
      outcome.replies.Add(replies.Name(k), replies.Mail(k), replies.Date(k), replies.Message(k));
    } else {
      outcome.replies.Add(AboneText(), AboneText(), AboneText(), AboneText());
    }
  }
  return outcome;
}

}  // namespace velkor
