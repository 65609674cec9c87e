#include "base/IniDocument.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "base/FileUtil.h"
#include "base/Sjis.h"

namespace velkor {

std::optional<long long> ParseIniInteger(std::string_view text) {
  return ParseInteger<long long>(text, IntegerSyntax::kIni);
}

namespace {

// (find_first_of would search the two-byte set once per byte of the text.)
bool HasLineBreak(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
}

std::string WithoutLineBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

void AppendWithoutLineBreaks(std::string& out, std::string_view text) {
  if (!HasLineBreak(text)) {
    out += text;
  } else {
    out += WithoutLineBreaks(text);
  }
}

}  // namespace

std::size_t IniDocument::FoldedHash::operator()(std::string_view name) const {
  std::size_t hash = 14695981039346656037ull;  // FNV-1a
  for (std::size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (IsLeadByte(c) && i + 1 < name.size()) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
      c = name[++i];
    } else {
      c = AsciiLower(c);
    }
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  }
  return hash;
}

bool IniDocument::FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  return EqualsIgnoreAsciiCase(a, b);
}

void IniDocument::Clear() {
  sections_.clear();
  index_.clear();
}

void IniDocument::RebuildIndex() {
  index_.clear();
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    index_.emplace(sections_[i].name, i);
  }
}

void IniDocument::Parse(std::string_view text) {
  Clear();
  Section* current = nullptr;
  for (std::string_view raw : SplitLines(text)) {
    std::string_view line = TrimView(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      current = &AddOrGetSection(line.substr(1, line.size() - 2));
      continue;
    }
    if (current == nullptr) continue;
    Entry entry;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      entry.key = std::string(line);
      entry.hasValue = false;
    } else {
      entry.key = std::string(line.substr(0, eq));
      entry.value = std::string(line.substr(eq + 1));
    }
    current->entries.push_back(std::move(entry));
  }
}

bool IniDocument::Load(const std::string& path) {
  auto text = ReadWholeFile(path);
  if (!text) {
    Clear();
    return false;
  }
  Parse(*text);
  return true;
}

std::string IniDocument::ToText() const {
  std::size_t size = 0;
  for (const Section& section : sections_) {
    size += section.name.size() + 6;
    for (const Entry& entry : section.entries) size += entry.key.size() + entry.value.size() + 3;
  }
  std::string out;
  out.reserve(size);
  for (const Section& section : sections_) {
    out += '[';
    AppendWithoutLineBreaks(out, section.name);
    out += "]\r\n";
    for (const Entry& entry : section.entries) {
      AppendWithoutLineBreaks(out, entry.key);
      if (entry.hasValue) {
        out += '=';
        AppendWithoutLineBreaks(out, entry.value);
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

bool IniDocument::Save(const std::string& path) const {
  return ReplaceFile(path, ToText());
}

const IniDocument::Section* IniDocument::FindSection(std::string_view section) const {
  auto it = index_.find(section);
  return it == index_.end() ? nullptr : &sections_[it->second];
}

IniDocument::Section* IniDocument::FindSectionMutable(std::string_view section) {
  return const_cast<Section*>(std::as_const(*this).FindSection(section));
}

IniDocument::Section& IniDocument::AddOrGetSection(std::string_view section) {
  return sections_[AddOrGetSectionIndex(section)];
}

std::size_t IniDocument::AddOrGetSectionIndex(std::string_view section) {
  if (HasLineBreak(section)) return AddOrGetSectionIndex(WithoutLineBreaks(section));
  if (auto it = index_.find(section); it != index_.end()) return it->second;
  sections_.push_back(Section{std::string(section), {}});
  index_.emplace(sections_.back().name, sections_.size() - 1);
  return sections_.size() - 1;
}

const std::string* IniDocument::FindValue(const Section& section, std::string_view key) {
  for (const Entry& entry : section.entries) {
    if (entry.hasValue && EqualsIgnoreAsciiCase(entry.key, key)) return &entry.value;
  }
  return nullptr;
}

const std::string* IniDocument::FindValue(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  return s == nullptr ? nullptr : FindValue(*s, key);
}

bool IniDocument::SectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

bool IniDocument::ValueExists(std::string_view section, std::string_view key) const {
  return Find(section, key).has_value();
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
  const std::string* value = FindValue(section, key);
  if (value == nullptr) return std::nullopt;
  return *value;
}

std::string IniDocument::ReadString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
  const std::string* value = FindValue(section, key);
  return value ? *value : std::string(fallback);
}

long long IniDocument::ReadInteger(std::string_view section, std::string_view key,
                                   long long fallback) const {
  const std::string* value = FindValue(section, key);
  if (value == nullptr) return fallback;
  return ParseIniInteger(*value).value_or(fallback);
}

bool IniDocument::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniDocument::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  WriteString(AddOrGetSection(section), key, value);
}

void IniDocument::WriteString(Section& s, std::string_view key, std::string_view value) {
  if (HasLineBreak(key) || HasLineBreak(value)) {
    WriteString(s, WithoutLineBreaks(key), WithoutLineBreaks(value));
    return;
  }
  for (Entry& entry : s.entries) {
    if (entry.hasValue && EqualsIgnoreAsciiCase(entry.key, key)) {
      entry.value.assign(value);
      return;
    }
  }
  s.entries.push_back(Entry{std::string(key), std::string(value), true});
}

void IniDocument::WriteInteger(std::string_view section, std::string_view key, long long value) {
  WriteString(section, key, std::to_string(value));
}

void IniDocument::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniDocument::DeleteKey(std::string_view section, std::string_view key) {
  Section* s = FindSectionMutable(section);
  if (s == nullptr) return;
  std::erase_if(s->entries, [&](const Entry& entry) {
    return entry.hasValue && EqualsIgnoreAsciiCase(entry.key, key);
  });
}

void IniDocument::EraseSection(std::string_view section) {
  auto it = index_.find(section);
  if (it == index_.end()) return;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
  RebuildIndex();
}

void IniDocument::EraseSectionsIf(const std::function<bool(const Section&)>& erase) {
  constexpr std::size_t kErased = static_cast<std::size_t>(-1);
  std::vector<std::size_t> moved(sections_.size());  // old position -> new one, or kErased
  std::size_t kept = 0;
  for (std::size_t i = 0; i < sections_.size(); ++i) {
    if (erase(sections_[i])) {
      moved[i] = kErased;
      continue;
    }
    if (kept != i) sections_[kept] = std::move(sections_[i]);
    moved[i] = kept++;
  }
  if (kept == sections_.size()) return;
  sections_.resize(kept);
  // The index is kept, not rebuilt: its names stay, only positions change.
  for (auto it = index_.begin(); it != index_.end();) {
    if (moved[it->second] == kErased) {
      it = index_.erase(it);
    } else {
      it->second = moved[it->second];
      ++it;
    }
  }
}

}  // namespace velkor
