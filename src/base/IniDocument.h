#pragma once

#include <concepts>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Integer.h"

namespace velkor {

// A whole INI-style file in memory (CP932 bytes), as the configuration file and the board lists use
// it.
//
// Reading: every line is trimmed; empty lines and lines starting with ";" are skipped; "[name]"
// opens a section; inside a section every other line is an entry whose key is the text before the
// first "=" and whose value is the rest (a line without "=" is kept as an entry with no value and
// is never matched by key); lines before the first section are ignored. A repeated section name
// continues the first one. Section and key names match case-insensitively (ASCII letters). Order of
// first appearance is kept.
//
// Writing: "[name]" CR LF, then "key=value" CR LF per entry, then an empty line (CR LF) per
// section. No name, key or value can break a line: CR and LF bytes are dropped by the writing calls
// (WriteString, AddOrGetSection) and again by ToText for entries changed through Section
// references.
class IniDocument {
 public:
  struct Entry {
    std::string key;
    std::string value;
    bool hasValue = true;  // false for a line without "="
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  // Replaces the contents with the parsed text.
  void Parse(std::string_view text);
  // Replaces the contents with the file's; a missing or unreadable file gives an empty document and
  // returns false.
  bool Load(const std::string& path);
  // The file text as described above.
  std::string ToText() const;
  // Replaces the file crash-safely with ToText(). Returns false when the file could not be written
  // (the old file is then left as it was).
  bool Save(const std::string& path) const;

  void Clear();

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // The value, or nullopt when the section or key is missing.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Decimal with optional "-", or hexadecimal after "0x"/"0X"/"$"; anything else gives the
  // fallback.
  long long ReadInteger(std::string_view section, std::string_view key, long long fallback) const;
  // ReadInteger within the range of T: a value outside it gives the fallback too.
  template <std::integral T>
  T ReadNumber(std::string_view section, std::string_view key, T fallback) const {
    return NumberOr(FindValue(section, key), fallback);
  }
  template <std::integral T>
  static T ReadNumber(const Section& section, std::string_view key, T fallback) {
    return NumberOr(FindValue(section, key), fallback);
  }
  // Read as an integer: non-zero is true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Sets a value, creating the section (at the end) and the key (at the end of its section) if
  // needed.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  // The same within one section of this document.
  static void WriteString(Section& section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, long long value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  void DeleteKey(std::string_view section, std::string_view key);
  // Removes one section; costs a pass over all sections, so remove many with EraseSectionsIf.
  void EraseSection(std::string_view section);
  // Removes every section the predicate selects, in one pass; the others keep their order.
  void EraseSectionsIf(const std::function<bool(const Section&)>& erase);

  // Sections in file order. References stay valid while sections are only added.
  const std::deque<Section>& Sections() const { return sections_; }
  // The section, or null when missing.
  const Section* FindSection(std::string_view section) const;
  // The section, appended at the end when missing.
  Section& AddOrGetSection(std::string_view section);
  // Its position in Sections(), the section appended at the end when missing.
  std::size_t AddOrGetSectionIndex(std::string_view section);
  // The section at a position below Sections().size().
  Section& SectionAt(std::size_t index) { return sections_[index]; }
  // The value of the first entry with this key, or null; valid until the document changes.
  const std::string* FindValue(std::string_view section, std::string_view key) const;
  // The same within one section.
  static const std::string* FindValue(const Section& section, std::string_view key);

 private:
  // Hash and equality of names with ASCII letters folded (not the second bytes of two-byte
  // characters), usable with string_view keys so that lookups copy nothing.
  struct FoldedHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };

  template <std::integral T>
  static T NumberOr(const std::string* value, T fallback) {
    if (value == nullptr) return fallback;
    return ParseInteger<T>(*value, IntegerSyntax::kIni).value_or(fallback);
  }

  Section* FindSectionMutable(std::string_view section);
  void RebuildIndex();

  std::deque<Section> sections_;
  // name as first written -> position in sections_
  std::unordered_map<std::string, std::size_t, FoldedHash, FoldedEqual> index_;
};

// Parses an integer as IniDocument::ReadInteger does; nullopt for anything else (also on overflow).
std::optional<long long> ParseIniInteger(std::string_view text);

}  // namespace velkor
