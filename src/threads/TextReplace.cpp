#include "threads/TextReplace.h"

namespace velkor {

void AppendReplaced(std::string& out, std::string_view text, std::string_view from,
                    std::string_view to) {
  std::size_t pos = 0;
  for (std::size_t hit = text.find(from); hit != std::string_view::npos;
       hit = text.find(from, pos)) {
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text, pos);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  AppendReplaced(out, text, from, to);
  return out;
}

}  // namespace velkor
