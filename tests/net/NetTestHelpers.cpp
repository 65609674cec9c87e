#include "NetTestHelpers.h"

#include <zlib.h>

#include <algorithm>

namespace velkor::test {

bool StatusRecorder::Saw(const std::string& text) const {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

int StatusRecorder::Handle(const char* message, void* context, std::int32_t received,
                           std::int32_t total) {
  auto* self = static_cast<StatusRecorder*>(context);
  if (self->onReport) self->onReport(message);
  if (message != nullptr) {
    self->texts.emplace_back(message);
    return !self->stopAtText.empty() && self->stopAtText == message ? 1 : 0;
  }
  self->progress.push_back({received, total});
  return self->stopAtProgress >= 0 && static_cast<int>(self->progress.size()) > self->stopAtProgress
             ? 1
             : 0;
}

std::string GzipBytes(std::string_view data) {
  z_stream stream{};
  deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string HttpAnswer(std::string_view statusLine, const std::vector<std::string>& fields,
                       std::string_view body) {
  std::string answer(statusLine);
  answer += "\r\n";
  for (const std::string& field : fields) answer += field + "\r\n";
  answer += "\r\n";
  answer += body;
  return answer;
}

}  // namespace velkor::test
