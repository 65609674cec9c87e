// subject.txt parsing and the merge. Input: an optional earlier subject.ini, a form feed, then the
// downloaded subject.txt (without a form feed the whole input is the subject.txt). Oracles: the
// merge writes subject.ini and it reads back as the same document; every thread it adds is named
// "<digits>.dat"; no more threads are ranked than the list has lines; nothing outside the board
// folder is deleted; the rows of every show type can be built and shown.

#include <cstdint>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "FuzzSupport.h"
#include "app/DataDir.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace velkor;
  if (size > 256 * 1024) return 0;
  fuzz::ScratchDataDir();
  std::string_view input = fuzz::AsText(data, size);
  std::string_view previous;
  std::string_view listText = input;
  if (std::size_t ff = input.find('\f'); ff != std::string_view::npos) {
    previous = input.substr(0, ff);
    listText = input.substr(ff + 1);
  }
  const std::string boardDir = LogDir() + "/ex.5ch.io/news/";
  const std::string sentinel = LogDir() + "/ex.5ch.io/1.dat";
  std::error_code ec;
  std::filesystem::remove_all(boardDir, ec);
  std::filesystem::create_directories(boardDir, ec);
  if (!ReplaceFile(boardDir + "subject.ini", previous) || !ReplaceFile(sentinel, "x\n")) {
    fuzz::Fail("cannot prepare the board folder");
  }
  IniDocument before;
  before.Parse(previous);
  std::unordered_set<std::string> known;
  for (const auto& section : before.Sections()) known.insert(AsciiLowerCopy(section.name));

  SubjectList list;
  list.Bind(boardDir + "subject.ini");
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(listText)) lines.emplace_back(line);
  const std::size_t lineCount = lines.size();
  FUZZ_CHECK(list.Merge(std::move(lines)), "Merge failed to write subject.ini", "");

  const auto written = ReadWholeFile(boardDir + "subject.ini");
  FUZZ_CHECK(written.has_value(), "subject.ini is missing after the merge", "");
  FUZZ_CHECK(*written == list.Ini()->ToText(), "subject.ini differs from the merged state",
             *written);
  IniDocument reread;
  reread.Parse(*written);
  FUZZ_CHECK(reread.ToText() == *written, "subject.ini does not read back as written", *written);
  std::size_t ranked = 0;
  for (const auto& section : reread.Sections()) {
    FUZZ_CHECK(IsThreadDatName(section.name) || known.count(AsciiLowerCopy(section.name)) != 0,
               "the merge added a thread whose name is no dat name", section.name);
    if (reread.ReadInteger(section.name, "NowNo", 0) > 0) ++ranked;
  }
  FUZZ_CHECK(ranked <= lineCount, "more threads ranked than the list has lines", "");
  FUZZ_CHECK(std::filesystem::exists(sentinel, ec), "the merge deleted a file outside its board",
             sentinel);

  for (std::uint8_t mask : kShowTypeMasks) {
    list.Fill(mask);
    for (int column = 0; column < kSubjectColumnCount; ++column) list.SortBy(column);
    for (std::size_t row = 0; row < list.RowCount(); ++row) list.CellTexts(row);
  }
  return 0;
}
