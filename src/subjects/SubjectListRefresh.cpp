// SubjectList::Refresh lives apart from the model so that code using only the model does not pull
// the HTTP client in.

#include <string>
#include <vector>

#include "app/Settings.h"
#include "app/UiHooks.h"
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

bool SubjectList::Refresh(UpdateReport* report) {
  UpdateReport local;
  UpdateReport& outcome = report != nullptr ? *report : local;
  outcome = UpdateReport{};
  if (!IsBound()) {
    outcome.Fail(net_text::Aborted());
    return false;
  }
  if (fetch_ != nullptr) {
    fetch_->abortRequested = 1;
    outcome.Fail(net_text::Aborted());
    return false;
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
  int result;
  {
    HttpSession session;
    session.SetStatusHandler(&context, StandardStatusHandler);
    result = FetchFull(session, CacheServerUrl(url) + "subject.txt", body, lastModified,
                       AppSettings().subjectGzip);
  }
  if (fetch_ == &context) fetch_ = nullptr;
  if (result == kFetchNotModified) return false;
  if (result != kFetchOk) {
    outcome.Fail(FetchFailureText(result));
    return false;
  }
  static const std::string emptyList = Sjis("エラー:スレッド一覧が空です");
  static const std::string notAList = Sjis("エラー:スレッド一覧ではありません");
  if (body.empty()) {
    outcome.Fail(emptyList);
    return false;
  }
  if (!IsBound() || dir_ != dir) {
    outcome.Fail(net_text::Aborted());
    return false;
  }

  auto failWrite = [&outcome](const std::string& path) {
    outcome.Fail(WriteFailureText(path));
    Ui().SetStatusText(outcome.reason);
    return false;
  };
  if (!ReplaceFile(dir + "subject.txt", body)) return failWrite(dir + "subject.txt");
  if (body[0] < '0' || body[0] > '9') {
    outcome.Fail(notAList);
    return false;
  }
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(body)) lines.emplace_back(line);
  // The time stamp moves on only when the merged state reached the disk: otherwise the next
  // request would be answered "not modified" and this list never merged into the file.
  if (!Merge(std::move(lines))) return failWrite(dir + "subject.ini");
  bbs.WriteString("subject.txt", "LastModified", TrimView(lastModified));
  if (!bbs.Save(dir + "bbs.ini")) return failWrite(dir + "bbs.ini");
  outcome.outcome = UpdateOutcome::kUpdated;
  return true;
}

}  // namespace velkor
