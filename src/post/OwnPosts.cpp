#include "post/OwnPosts.h"

#include <algorithm>

#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"

namespace velkor {
namespace {

Outcome NoThread(const std::string& datName) {
  return Failed(Sjis("エラー:スレッドのログ名ではありません: ") + datName);
}

}  // namespace

std::string OwnPostsPath(const std::string& boardDir, const std::string& datName) {
  const std::string name = OwnPostsFileName(datName);
  return name.empty() ? name : boardDir + name;
}

ResultWith<std::vector<int>> ReadOwnPosts(const std::string& boardDir, const std::string& datName) {
  const std::string path = OwnPostsPath(boardDir, datName);
  if (path.empty()) return NoThread(datName);
  std::vector<int> numbers;
  if (!FileExists(path)) return numbers;
  auto text = ReadWholeFile(path);
  if (!text) return Failed(Sjis("エラー:読み込めません: ") + path);
  for (std::string_view line : SplitLines(*text)) {
    if (auto n = ParseInteger(TrimView(line), 1, kMaxOwnReplyNumber, IntegerSyntax::kDigits)) {
      numbers.push_back(static_cast<int>(*n));
    }
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

Outcome MarkOwnPost(const std::string& boardDir, const std::string& datName, int number, bool own) {
  if (number < 1 || number > kMaxOwnReplyNumber) {
    return Failed(Sjis("エラー:レス番号が範囲外です: ") + std::to_string(number));
  }
  auto read = ReadOwnPosts(boardDir, datName);
  if (!read.IsOk()) return Failed(read.Reason());
  std::vector<int> numbers = std::move(read).Value();
  const auto at = std::lower_bound(numbers.begin(), numbers.end(), number);
  const bool marked = at != numbers.end() && *at == number;
  if (marked == own) return {};
  if (own) {
    numbers.insert(at, number);
  } else {
    numbers.erase(at);
  }
  const std::string path = OwnPostsPath(boardDir, datName);
  if (numbers.empty()) return RemoveOwnPosts(boardDir, datName);
  std::string text;
  for (int n : numbers) text += std::to_string(n) + "\r\n";
  if (!ReplaceFile(path, text)) return Failed(Sjis("エラー:保存できません: ") + path);
  return {};
}

Outcome RemoveOwnPosts(const std::string& boardDir, const std::string& datName) {
  const std::string path = OwnPostsPath(boardDir, datName);
  if (path.empty()) return NoThread(datName);
  if (!RemoveFile(path)) return Failed(Sjis("エラー:削除できません: ") + path);
  return {};
}

std::vector<OwnReplyAnswers> AnswersToOwnReplies(const ReplyAnswers& answers,
                                                 const std::vector<int>& own) {
  std::vector<OwnReplyAnswers> result;
  result.reserve(own.size());
  for (int k : own) {
    const auto to = answers.AnswersTo(k);
    result.push_back({k, std::vector<int>(to.begin(), to.end())});
  }
  return result;
}

}  // namespace velkor
