#include "threads/NgFilter.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "base/Clock.h"
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
  // Next "<" and next "&" at or after the read position, each found by one memchr.
  const auto find = [&](char c, std::size_t from) {
    const void* hit = std::memchr(html.data() + from, c, html.size() - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - html.data())
               : html.size();
  };
  std::size_t nextTag = find('<', 0);
  std::size_t nextAmp = find('&', 0);
  std::size_t pos = 0;
  while (pos < html.size()) {
    if (nextTag < pos) nextTag = find('<', pos);
    if (nextAmp < pos) nextAmp = find('&', pos);
    const std::size_t stop = std::min(nextTag, nextAmp);
    if (stop == html.size()) break;
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

// True for a byte that may be the second byte of a two-byte character; any other byte starts one.
bool CanEndCharacter(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

NgVerdict Stronger(NgVerdict a, NgVerdict b) {
  return static_cast<std::uint8_t>(a) >= static_cast<std::uint8_t>(b) ? a : b;
}

// What the rules that matched a reply make of it: the strongest verdict of all of them, and that of
// the chaining ones (which the reply's answers inherit).
struct Hit {
  NgVerdict verdict = NgVerdict::kShown;
  NgVerdict chained = NgVerdict::kShown;

  void Add(NgVerdict v, bool chain) {
    verdict = Stronger(verdict, v);
    if (chain) chained = Stronger(chained, v);
  }
  void Add(const Hit& other) {
    verdict = Stronger(verdict, other.verdict);
    chained = Stronger(chained, other.chained);
  }
  bool Final() const { return chained == NgVerdict::kHidden; }
};

Hit HitOf(const NgRule& rule) {
  Hit hit;
  hit.Add(rule.hidden ? NgVerdict::kHidden : NgVerdict::kAbone, rule.chain);
  return hit;
}

// Literal patterns looked for in a text all at once: the text is read once, and only where the
// first two bytes of a pattern (the byte, for one-byte patterns) stand at a character start are
// patterns compared. So a pattern never matches from the second byte of a two-byte
// character, and many patterns cost little more than one.
class LiteralSet {
 public:
  void Add(const NgRule& rule) {
    const std::string& p = rule.pattern;
    const std::uint32_t key = p.size() == 1 ? OneByteKey(p[0]) : Key(p, 0);
    if (p.size() == 1) {
      oneByte_.set(static_cast<unsigned char>(p[0]));
    } else {
      twoBytes_.set(key);
    }
    firstByte_[static_cast<unsigned char>(p[0])] = true;
    const Entry entry{key, p, HitOf(rule)};
    entries_.insert(std::upper_bound(entries_.begin(), entries_.end(), entry, ByKey), entry);
  }

  bool Empty() const { return entries_.empty(); }

  // Adds the hits of every pattern found in `text` to `hit`.
  void Match(std::string_view text, Hit& hit) const {
    if (entries_.empty()) return;
    const std::size_t n = text.size();
    // Every byte is tried as a start, which keeps the loop free of the character walk; the rare
    // candidate is then checked to start a character.
    for (std::size_t i = 0; i < n; ++i) {
      if (!firstByte_[static_cast<unsigned char>(text[i])]) continue;
      const bool one = oneByte_.test(static_cast<unsigned char>(text[i]));
      const bool two = i + 1 < n && twoBytes_.test(Key(text, i));
      if (!one && !two) continue;
      if (CanEndCharacter(text[i]) && !IsCharStart(text, 0, i)) continue;
      const std::string_view rest = text.substr(i);
      if (one) Compare(rest, OneByteKey(text[i]), hit);
      if (two) Compare(rest, Key(text, i), hit);
      if (hit.Final()) return;
    }
  }

 private:
  struct Entry {
    std::uint32_t key;  // the first two bytes, or OneByteKey of a one-byte pattern
    std::string pattern;
    Hit hit;
  };

  static bool ByKey(const Entry& a, const Entry& b) { return a.key < b.key; }

  static std::uint32_t Key(std::string_view text, std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << 8 |
           static_cast<unsigned char>(text[i + 1]);
  }
  static std::uint32_t OneByteKey(char c) { return 0x10000 | static_cast<unsigned char>(c); }

  // Adds the hits of the patterns with `key` that `rest` starts with.
  void Compare(std::string_view rest, std::uint32_t key, Hit& hit) const {
    const Entry probe{key, {}, {}};
    for (auto it = std::lower_bound(entries_.begin(), entries_.end(), probe, ByKey);
         it != entries_.end() && it->key == key; ++it) {
      if (rest.size() >= it->pattern.size() &&
          rest.compare(0, it->pattern.size(), it->pattern) == 0) {
        hit.Add(it->hit);
      }
    }
  }

  std::vector<Entry> entries_;         // sorted by key
  std::array<bool, 256> firstByte_{};  // the first byte of some pattern
  std::bitset<256> oneByte_;
  std::bitset<65536> twoBytes_;
};

// Whether a pattern means the same inside "(?:" ... ")" next to others: no back references or
// subexpression calls (their numbers would change), no conditionals, and no "#" (an extended-mode
// comment would swallow the rest of the combined pattern).
bool IsCombinable(std::string_view pattern) {
  if (pattern.find('#') != std::string_view::npos) return false;
  if (pattern.find("(?(") != std::string_view::npos) return false;
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (IsLeadByte(pattern[i])) {
      ++i;
      continue;
    }
    if (pattern[i] != '\\') continue;
    const char next = pattern[++i];
    if ((next >= '0' && next <= '9') || next == 'k' || next == 'g') return false;
  }
  return true;
}

// The time the regex rules spend on one thread, and which of them are still on (kNgRuleBudget,
// kNgPageBudget).
class RegexBudget {
 public:
  RegexBudget(std::size_t rules, bool prefilter)
      : rules_(rules), on_(rules), prefilter_(prefilter) {}

  bool AnyOn() const { return on_ > 0; }

  // Whether any rule may match `message`, as the combined expression of all rules tells; true
  // without it, and from the first time it gives up.
  bool MayMatch(const RegexEngine* combined, std::string_view message) {
    if (!prefilter_ || combined == nullptr) return true;
    std::chrono::steady_clock::duration unused{};
    const MatchResult result = Timed(*combined, message, unused);
    if (result == MatchResult::kTooCostly) prefilter_ = false;
    return result != MatchResult::kNoMatch;
  }

  // Whether rule `i` matches `message`; false for a rule switched off. A rule whose search gives
  // up, or that spent its budget, is switched off and added to `switchedOff`.
  bool Try(std::size_t i, const RegexEngine& engine, std::string_view message, const NgRule& rule,
           std::vector<NgRule>& switchedOff) {
    State& state = rules_[i];
    if (state.off) return false;
    const MatchResult result = Timed(engine, message, state.spent);
    if (result == MatchResult::kTooCostly || state.spent > kNgRuleBudget) {
      state.off = true;
      --on_;
      switchedOff.push_back(rule);
    }
    return result == MatchResult::kMatch;
  }

  // Once the page budget is spent, switches off every rule still on.
  template <typename Regexes>
  void CheckPage(const Regexes& regexes, std::vector<NgRule>& switchedOff) {
    if (page_ <= kNgPageBudget) return;
    for (std::size_t i = 0; i < rules_.size(); ++i) {
      if (rules_[i].off) continue;
      rules_[i].off = true;
      switchedOff.push_back(regexes[i].rule);
    }
    on_ = 0;
  }

 private:
  struct State {
    std::chrono::steady_clock::duration spent{};
    bool off = false;
  };

  MatchResult Timed(const RegexEngine& engine, std::string_view message,
                    std::chrono::steady_clock::duration& spent) {
    const Clock::TimePoint start = CurrentClock().Now();
    const MatchResult result = engine.TryMatch(message);
    const std::chrono::steady_clock::duration used = CurrentClock().Now() - start;
    spent += used;
    page_ += used;
    return result;
  }

  std::vector<State> rules_;
  std::size_t on_;
  bool prefilter_;
  std::chrono::steady_clock::duration page_{};
};

}  // namespace

struct NgFilter::Matchers {
  struct Regex {
    std::unique_ptr<RegexEngine> engine;
    Hit hit;
    NgRule rule;
    // Tried only where anyRegex matched. A rule with plain text every match holds is not: a scan
    // for that text rules most messages out more cheaply than any search.
    bool gated = false;
  };

  LiteralSet words;  // on the visible message
  LiteralSet names;  // on the visible name
  LiteralSet mails;  // on the mail field
  std::unordered_map<std::string, Hit> ids;
  std::vector<Regex> regexes;  // on the visible message
  // The gated regexes as one alternative: a message it does not match matches none of them.
  std::unique_ptr<RegexEngine> anyRegex;
  bool chains = false;
};

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
  auto m = std::make_unique<Matchers>();
  bool any = false;
  std::string combined;
  bool combinable = true;
  std::size_t gatedCount = 0;
  for (const NgRule& rule : rules) {
    if (!rule.board.empty() && rule.board != board) continue;
    if (rule.pattern.empty()) continue;
    switch (rule.kind) {
      case NgKind::kWord:
        m->words.Add(rule);
        break;
      case NgKind::kName:
        m->names.Add(rule);
        break;
      case NgKind::kMail:
        m->mails.Add(rule);
        break;
      case NgKind::kId:
        m->ids[rule.pattern].Add(HitOf(rule));
        break;
      case NgKind::kRegex: {
        auto engine = std::make_unique<RegexEngine>();
        engine->SetSubjectLimit(kNgRegexSubjectLimit);
        if (!PrepareNgRegex(*engine, rule.pattern).IsOk()) continue;
        const bool gated = !engine->HasRequiredText();
        m->regexes.push_back({std::move(engine), HitOf(rule), rule, gated});
        if (gated) {
          combinable = combinable && IsCombinable(rule.pattern);
          combined.append(combined.empty() ? "(?:" : "|(?:").append(rule.pattern).append(")");
          ++gatedCount;
        }
        break;
      }
    }
    any = true;
    m->chains = m->chains || rule.chain;
  }
  if (!any) return;
  if (combinable && gatedCount > 1) {
    m->anyRegex = std::make_unique<RegexEngine>();
    m->anyRegex->SetSubjectLimit(kNgRegexSubjectLimit);
    if (!PrepareNgRegex(*m->anyRegex, combined).IsOk()) m->anyRegex.reset();
  }
  if (m->anyRegex == nullptr) {
    for (Matchers::Regex& regex : m->regexes) regex.gated = false;
  }
  matchers_ = std::move(m);
}

NgJudgement NgFilter::Judge(const ReplyList& replies) const {
  const int n = replies.Count();
  NgJudgement judgement;
  std::vector<NgVerdict>& verdicts = judgement.verdicts;
  verdicts.assign(static_cast<std::size_t>(n), NgVerdict::kShown);
  if (!matchers_) return judgement;
  const Matchers& m = *matchers_;
  RegexBudget budget(m.regexes.size(), m.anyRegex != nullptr);
  const bool needsMessage = !m.words.Empty() || !m.regexes.empty();
  // What the chaining rules alone make of each reply; this is what its answers inherit.
  std::vector<NgVerdict> chained(static_cast<std::size_t>(n), NgVerdict::kShown);
  std::string message;
  std::string name;
  for (int k = 1; k <= n; ++k) {
    Hit hit;
    if (!m.ids.empty()) {
      const std::string_view id = ReplyIdOf(replies.Date(k));
      if (!id.empty()) {
        if (const auto it = m.ids.find(std::string(id)); it != m.ids.end()) hit.Add(it->second);
      }
    }
    if (!hit.Final() && !m.mails.Empty()) m.mails.Match(replies.Mail(k), hit);
    if (!hit.Final() && !m.names.Empty()) {
      name.clear();
      AppendVisibleText(name, replies.Name(k));
      m.names.Match(name, hit);
    }
    if (!hit.Final() && needsMessage) {
      message.clear();
      AppendVisibleText(message, replies.Message(k));
      m.words.Match(message, hit);
      if (!hit.Final() && budget.AnyOn()) {
        std::optional<bool> gatedMayMatch;  // asked of anyRegex once, when a gated rule comes
        for (std::size_t i = 0; i < m.regexes.size() && !hit.Final(); ++i) {
          const Matchers::Regex& regex = m.regexes[i];
          if (regex.gated) {
            if (!gatedMayMatch) gatedMayMatch = budget.MayMatch(m.anyRegex.get(), message);
            if (!*gatedMayMatch) continue;
          } else if (!regex.engine->MayMatch(message)) {
            continue;
          }
          if (budget.Try(i, *regex.engine, message, regex.rule, judgement.switchedOff)) {
            hit.Add(regex.hit);
          }
        }
        budget.CheckPage(m.regexes, judgement.switchedOff);
      }
    }
    verdicts[static_cast<std::size_t>(k - 1)] = hit.verdict;
    chained[static_cast<std::size_t>(k - 1)] = hit.chained;
  }
  if (!m.chains) return judgement;
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
  return judgement;
}

NgOutcome NgFilter::Apply(const ReplyList& replies) const {
  NgOutcome outcome;
  NgJudgement judgement = Judge(replies);
  outcome.verdicts = std::move(judgement.verdicts);
  outcome.switchedOff = std::move(judgement.switchedOff);
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

std::string NgSwitchedOffText(const std::vector<NgRule>& rules) {
  if (rules.empty()) return {};
  std::string text = Sjis("警告:重すぎるNGルールをこのスレでは止めました: ");
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (i > 0) text += " / ";
    text.append(NgKindName(rules[i].kind)).append(" ").append(rules[i].pattern);
  }
  return text;
}

Outcome NgRegexCostCheck(std::string_view pattern) {
  RegexEngine engine;
  engine.SetSubjectLimit(kNgRegexSubjectLimit);
  if (!PrepareNgRegex(engine, pattern).IsOk()) return {};
  // Runs of each character the pattern names (and of a few common ones), then one that no run
  // of them ends with: what makes nested or overlapping repeats try every way to split the run.
  std::vector<std::string> characters = {"a", "0", " ", Sjis("あ")};
  std::string literals;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const std::size_t length = IsLeadByte(pattern[i]) && i + 1 < pattern.size() ? 2 : 1;
    const std::string character(pattern.substr(i, length));
    i += length - 1;
    const unsigned char c = static_cast<unsigned char>(character[0]);
    if (length == 1 && !(std::isalnum(c) || c == ' ')) continue;
    literals += character;
    if (std::find(characters.begin(), characters.end(), character) == characters.end()) {
      characters.push_back(character);
    }
  }
  std::vector<std::string> texts;
  for (const std::string& character : characters) {
    std::string run;
    for (int k = 0; k < 64; ++k) run += character;
    texts.push_back(run + "!");
  }
  if (!literals.empty()) {
    std::string run;
    while (run.size() < 256) run += literals;
    texts.push_back(run + "!");
  }
  for (const std::string& text : texts) {
    if (engine.TryMatch(text) == MatchResult::kTooCostly) {
      return Failed(Sjis("エラー:この正規表現は重すぎるためNGルールにできません."));
    }
  }
  return {};
}

}  // namespace velkor
