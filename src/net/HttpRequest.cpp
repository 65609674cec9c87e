#include "net/HttpRequest.h"

#include "base/Sjis.h"

namespace velkor {

std::vector<std::string> HttpResponse::Values(std::string_view name) const {
  std::vector<std::string> values;
  for (const auto& [field, value] : fields) {
    if (EqualsIgnoreAsciiCase(field, name)) values.push_back(value);
  }
  return values;
}

std::string HttpResponse::Value(std::string_view name) const {
  for (const auto& [field, value] : fields) {
    if (EqualsIgnoreAsciiCase(field, name)) return value;
  }
  return {};
}

std::vector<HttpField> ParseHeaderFields(std::string_view header) {
  std::vector<HttpField> fields;
  bool statusLine = true;
  for (std::string_view line : SplitLines(header)) {
    if (statusLine) {
      statusLine = false;
      continue;
    }
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
      if (!fields.empty()) {
        std::string& value = fields.back().second;
        const std::string_view more = TrimView(line);
        if (!more.empty()) value += (value.empty() ? "" : " ") + std::string(more);
      }
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = TrimView(line.substr(0, colon));
    if (name.empty()) continue;
    fields.emplace_back(std::string(name), std::string(TrimView(line.substr(colon + 1))));
  }
  return fields;
}

}  // namespace velkor
