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
#include "subjects/SubjectList.h"

namespace velkor {

bool SubjectList::Refresh() {
  if (!IsBound()) return false;
  if (fetch_ != nullptr) {
    fetch_->abortRequested = 1;
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
  if (result != kFetchOk || body.empty() || !IsBound() || dir_ != dir) return false;

  ReplaceFile(dir + "subject.txt", body);
  if (body[0] < '0' || body[0] > '9') return false;
  std::vector<std::string> lines;
  for (std::string_view line : SplitLines(body)) lines.emplace_back(line);
  // The time stamp moves on only when the merged state reached the disk: otherwise the next
  // request would be answered "not modified" and this list never merged into the file.
  if (Merge(std::move(lines))) {
    bbs.WriteString("subject.txt", "LastModified", TrimView(lastModified));
    bbs.Save(dir + "bbs.ini");
  }
  return true;
}

}  // namespace velkor
