#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// Comma text, the list encoding of the configuration file: items joined by ","; an item that is
// empty or holds a blank, a control character, a comma or a double quote is written in double
// quotes, with inner quotes doubled.
std::string JoinCommaText(const std::vector<std::string>& items);

// Splits comma text: items end at a comma or at a blank outside quotes; a quoted item may contain
// anything, with "" standing for one quote; blanks around items are skipped; a comma at the very
// end adds an empty item.
std::vector<std::string> SplitCommaText(std::string_view text);

}  // namespace velkor
