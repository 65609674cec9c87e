#pragma once

// The text rules of a downloaded subject.txt. A line reads "<key>.dat<>title (count)"; titles carry
// the entities &lt; &gt; &quot; &amp;.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

struct SubjectLine {
  std::string datName;  // the text before "<>"
  std::string title;    // decoded, trailing blanks kept
  std::int32_t resCount = 0;
};

// Parses one line: the dat name is the text before the first ">" minus the byte in front of it, the
// raw title runs from after that ">" to the last "(", the count from there to the last ")" (0 when
// it is no decimal number). False (out untouched) when ">", "(" or ")" is missing.
bool ParseSubjectLine(std::string_view line, SubjectLine& out);

// Replaces "&lt;", "&gt;", "&quot;" and "&amp;" in this order, each over the whole text.
std::string DecodeTitleEntities(std::string_view raw);

// Joins lines a server broke inside a title: from the last line to the second, a line whose leading
// integer (after white space and a sign) is 0 or absent is appended to the previous line, whose
// trailing blanks and control characters are cut first, and removed from the list.
void JoinBrokenLines(std::vector<std::string>& lines);

// True for "<decimal digits>.dat": the only thread names used as file names.
bool IsThreadDatName(std::string_view name);

// Lines of a log or list as the thread state counts them: split at CR LF, LF or CR; a final line
// without terminator counts, a final terminator adds no empty line.
std::int32_t CountLines(std::string_view text);

}  // namespace velkor
