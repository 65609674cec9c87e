#include "subjects/UpdateReport.h"

#include "base/Sjis.h"
#include "net/Fetch.h"
#include "net/StatusTexts.h"

namespace velkor {

std::string FetchFailureText(int fetchResult) {
  static const std::string failed = Sjis("エラー:ダウンロードに失敗しました (");
  switch (fetchResult) {
    case kFetchMoved:
      return net_text::Moved();
    case kFetchNoConnection:
      return net_text::ConnectFailed();
    case kFetchNotSent:
      return net_text::SendFailed();
    case kFetchBodyAborted:
    case kFetchReceiveFailed:
      return net_text::ReceiveFailed();
    case kFetchGzipFailed:
      return net_text::GzipFailed();
    default:
      return failed + std::to_string(fetchResult) + ")";
  }
}

std::string WriteFailureText(const std::string& path) {
  static const std::string prefix = Sjis("エラー:保存できません: ");
  return prefix + path;
}

}  // namespace velkor
