// The INI reader and writer. Input: an INI text, then form-feed-separated writes (one byte picks a
// section and a key, the rest is the value). Oracles: parsing the written text of a parsed
// document gives the same text again; after the writes, the written text reads back with exactly
// the sections and keys in memory (no value can add a section or a key), and every value without
// a line break reads back as itself (less the trailing blanks the reader trims).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FuzzSupport.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"

namespace {

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20) s.remove_suffix(1);
  return s;
}

// The structure of a document: section names and, per section, its keys, in order.
std::vector<std::string> Shape(const velkor::IniDocument& doc) {
  std::vector<std::string> shape;
  for (const auto& section : doc.Sections()) {
    shape.push_back("[" + section.name + "]");
    for (const auto& entry : section.entries) shape.push_back(entry.key);
  }
  return shape;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 128 * 1024) return 0;
  std::string_view input = fuzz::AsText(data, size);
  std::size_t ff = input.find('\f');
  std::string_view text = input.substr(0, ff);

  IniDocument doc;
  doc.Parse(text);
  const std::string once = doc.ToText();
  IniDocument again;
  again.Parse(once);
  FUZZ_CHECK(again.ToText() == once, "a parsed document does not round-trip", once);
  FUZZ_CHECK(Shape(again) == Shape(doc), "a parsed document reads back with another shape", once);

  static const std::string kSections[] = {"subject.txt", "1234567890.dat", "BBSMenuURL",
                                          Sjis("ニュース")};
  static const std::string kKeys[] = {"LastModified", "Title", "History1", Sjis("速報")};
  std::vector<std::pair<std::string, std::string>> writes;
  while (ff != std::string_view::npos) {
    std::size_t next = input.find('\f', ff + 1);
    std::string_view write = input.substr(ff + 1, next == input.npos ? input.npos : next - ff - 1);
    ff = next;
    if (write.empty()) continue;
    const auto pick = static_cast<unsigned char>(write[0]);
    writes.emplace_back(kSections[pick % 4], kKeys[(pick / 4) % 4]);
    doc.WriteString(writes.back().first, writes.back().second, write.substr(1));
  }
  const std::string written = doc.ToText();
  IniDocument reread;
  reread.Parse(written);
  FUZZ_CHECK(Shape(reread) == Shape(doc), "a written value changed the document's shape", written);
  for (const auto& [section, key] : writes) {
    const auto value = doc.Find(section, key);
    if (!value || value->find_first_of("\r\n") != std::string::npos) continue;
    const auto back = reread.Find(section, key);
    FUZZ_CHECK(back && *back == TrimRight(*value), "a written value reads back changed",
               key + "=" + *value);
  }
  return 0;
}
