#include "subjects/UpdateResult.h"

#include "base/Sjis.h"

namespace velkor {

std::string WriteFailureText(const std::string& path) {
  static const std::string prefix = Sjis("エラー:保存できません: ");
  return prefix + path;
}

}  // namespace velkor
