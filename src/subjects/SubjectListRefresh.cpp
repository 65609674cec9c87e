// SubjectList::Refresh lives apart from the model so that code using only the model does not pull
// the HTTP client in.

#include <string>
#include <vector>

#include "app/Settings.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "net/CacheServerUrl.h"
#include "net/Fetch.h"
#include "net/FetchContext.h"
#include "net/HttpSession.h"
#include "net/StatusTexts.h"
#include "subjects/SubjectList.h"

namespace velkor {

UpdateResult SubjectList::Refresh() {
  if (!IsBound()) return {Update::kFailed, net_text::Aborted()};
  if (fetch_ != nullptr) {
    fetch_->abortRequested = 1;
    return {Update::kFailed, net_text::Aborted()};
  }
  // The user interface runs during the download; remember the board so that a list re-bound or
  // released meanwhile is not written with this board's data.
  const std::string dir = dir_;
  const std::string url = BoardUrlFromDir();
  IniDocument bbs;
  bbs.Load(dir + "bbs.ini");
  std::string lastModified = bbs.ReadString("subject.txt", "LastModified", "");

  FetchContext context;
  fetch_ = &context;
  std::string body;
  FetchOutcome fetched;
  {
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    fetched = FetchFull(session, CacheServerUrl(url) + "subject.txt", body, lastModified,
                        AppSettings().subjectGzip);
  }
  if (fetch_ == &context) fetch_ = nullptr;
  if (fetched.Code() == FetchResult::kNotModified) return {Update::kUnchanged};
  if (!fetched.IsOk()) return {Update::kFailed, fetched.Reason()};
  static const std::string emptyList = Sjis("エラー:スレッド一覧が空です");
  static const std::string notAList = Sjis("エラー:スレッド一覧ではありません");
  if (body.empty()) return {Update::kFailed, emptyList};
  if (!IsBound() || dir_ != dir) return {Update::kFailed, net_text::Aborted()};

  auto notWritten = [](const std::string& path) -> UpdateResult {
    return {Update::kNotWritten, WriteFailureText(path)};
  };
  if (!ReplaceFile(dir + "subject.txt", body)) return notWritten(dir + "subject.txt");
  if (body[0] < '0' || body[0] > '9') return {Update::kFailed, notAList};
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(body)) lines.emplace_back(line);
  // The time stamp moves on only when the merged state reached the disk: otherwise the next
  // request would be answered "not modified" and this list never merged into the file.
  if (!Merge(std::move(lines))) return notWritten(dir + "subject.ini");
  bbs.WriteString("subject.txt", "LastModified", TrimView(lastModified));
  if (!bbs.Save(dir + "bbs.ini")) return notWritten(dir + "bbs.ini");
  return {};
}

}  // namespace velkor
