#include "post/PostFlow.h"

#include <algorithm>
#include <ctime>

#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "base/Integer.h"
#include "base/Sjis.h"
#include "net/CacheServerUrl.h"
#include "net/Fetch.h"
#include "net/HttpSession.h"
#include "net/HttpUrl.h"
#include "post/OwnPostFinder.h"
#include "post/OwnPosts.h"
#include "post/PostCookies.h"
#include "post/PostForm.h"
#include "post/WritingLog.h"
#include "subjects/BoardDir.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"
#include "subjects/ThreadState.h"
#include "threads/ThreadLogFetch.h"

namespace velkor {
namespace {

std::int64_t CalendarNow() {
  return static_cast<std::int64_t>(std::time(nullptr));
}

PostResult Refuse(const char* utf8) {
  return {PostCode::kLocalRefused, Sjis(utf8)};
}

// The folder name the form's "bbs" field carries: the last segment of the board URL's path.
std::string BoardName(const HttpUrl& url) {
  std::string_view path = url.path;
  while (path.ends_with('/')) path.remove_suffix(1);
  return std::string(path.substr(path.rfind('/') + 1));
}

// The replies a log holds (0 when there is none).
int RepliesIn(const std::string& path) {
  const auto log = ReadWholeFile(path);
  return log ? CountLines(*log) : 0;
}

// A reply number the server gave in its x-Resnum field.
std::optional<int> Resnum(const HttpResponse& answer) {
  auto number =
      ParseInteger(answer.Value("x-Resnum"), 1, kMaxOwnReplyNumber, IntegerSyntax::kDigits);
  if (!number) return std::nullopt;
  return static_cast<int>(*number);
}

// True when decimal key `a` is a later thread than `b`.
bool NewerKey(std::string_view a, std::string_view b) {
  return a.size() != b.size() ? a.size() > b.size() : a > b;
}

}  // namespace

PostFlow::PostFlow(PostDraft draft, SubjectList* shown) : draft_(std::move(draft)), shown_(shown) {}

PostFlow::~PostFlow() = default;

SubjectList& PostFlow::List() {
  if (shown_ != nullptr && shown_->IsBound() && shown_->Dir() == boardDir_) return *shown_;
  if (!own_ || !own_->IsBound() || own_->Dir() != boardDir_) {
    own_ = std::make_unique<SubjectList>();
    own_->Bind(SubjectIniPath(boardDir_), draft_.boardUrl);
  }
  return *own_;
}

std::string PostFlow::Title() {
  if (draft_.key.empty()) return draft_.subject;
  if (std::string title = ReadTitle(*List().Ini(), draft_.key + ".dat"); !title.empty()) {
    return title;
  }
  // A thread the list does not know: the title is the last field of the log's first line.
  const std::string log = ReadWholeFile(boardDir_ + draft_.key + ".dat").value_or("");
  std::string_view first = log;
  first = first.substr(0, first.find_first_of("\r\n"));
  std::size_t at = 0;
  for (int field = 0; field < 4 && at != std::string_view::npos; ++field) {
    at = first.find("<>", at);
    if (at != std::string_view::npos) at += 2;
  }
  return at == std::string_view::npos ? std::string() : DecodeTitleEntities(first.substr(at));
}

PostResult PostFlow::Send() {
  if (running_ || started_) return Refuse("エラー:この書き込みは送信済みです");
  started_ = true;
  running_ = true;
  PostResult result = Start();
  running_ = false;
  return result;
}

PostResult PostFlow::Accept() {
  if (running_ || !confirmationWaits_) return Refuse("エラー:承諾を待っている確認はありません");
  confirmationWaits_ = false;
  running_ = true;
  context_.abortRequested = 0;
  HttpRequest request;
  request.method = confirmation_.method;
  const std::string body = FormBody(confirmation_.fields);
  if (request.method == "GET") {
    request.url = confirmation_.action.substr(0, confirmation_.action.find_first_of("?#"));
    request.url += "?" + body;
  } else {
    request.url = confirmation_.action;
    request.fields.emplace_back("Content-Type", "application/x-www-form-urlencoded");
    request.body = body;
  }
  request.fields.emplace_back("Referer", postUrl_);
  request.fields.emplace_back("Origin", origin_);
  PostResult result = Post(request);
  running_ = false;
  return result;
}

PostResult PostFlow::Start() {
  const auto dir = SafeBoardDir(draft_.boardUrl);
  HttpUrl board;
  if (!dir || ParseHttpUrl(draft_.boardUrl, board) != HttpUrlStatus::kOk) {
    return Refuse("エラー:板のURLが正しくありません");
  }
  if (!draft_.key.empty() && !IsThreadDatName(draft_.key + ".dat")) {
    return Refuse("エラー:スレッドのキーが正しくありません");
  }
  boardDir_ = *dir;
  origin_ = (board.tls ? "https://" : "http://") + HostField(board);
  postUrl_ = origin_ + "/test/bbs.cgi";

  std::vector<std::string> notes;
  limits_ = LoadBoardLimits(draft_.boardUrl, boardDir_, context_, notes);
  time_ = CalendarNow();
  PostFields fields;
  fields.bbs = BoardName(board);
  fields.key = draft_.key;
  fields.subject = draft_.subject;
  fields.time = PostTime(time_);
  fields.name = draft_.name;
  fields.mail = draft_.mail;
  fields.message = draft_.message;
  if (Result<PostCheck> checked = CheckPost(fields, limits_); !checked.IsOk()) {
    PostResult refused(PostCode::kLocalRefused, checked.Reason());
    refused.notes = std::move(notes);
    return refused;
  }

  if (draft_.key.empty()) {
    for (const auto& section : List().Ini()->Sections()) knownBefore_.push_back(section.name);
  } else {
    before_ = RepliesIn(boardDir_ + draft_.key + ".dat");
  }
  HttpRequest request;
  request.method = "POST";
  request.url = postUrl_;
  request.fields.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  request.fields.emplace_back("Referer", draft_.key.empty()
                                             ? draft_.boardUrl
                                             : ThreadUrl(draft_.boardUrl, draft_.key, true));
  request.fields.emplace_back("Origin", origin_);
  request.body = PostFormBody(fields);
  PostResult result = Post(request);
  result.notes.insert(result.notes.begin(), notes.begin(), notes.end());
  return result;
}

PostResult PostFlow::Post(const HttpRequest& prepared) {
  HttpRequest request = prepared;
  const std::int64_t now = CalendarNow();
  if (std::string cookies = PostCookies::Shared().CookieHeader(request.url, now);
      !cookies.empty()) {
    request.fields.emplace_back("Cookie", cookies);
  }
  HttpSession session;
  session.SetStatusHandler(&context_, StandardStatusHandler);
  const RequestOutcome sent = SendHttpRequest(session, request);
  if (sent.Code() == RequestReach::kNotConnected || sent.Code() == RequestReach::kNotSent) {
    return {PostCode::kNotSent, sent.Reason()};
  }
  if (!sent.IsOk()) return AfterNoAnswer({PostCode::kMayHaveBeenPosted, sent.Reason()});

  const HttpResponse& answer = sent.Value();
  std::vector<std::string> notes;
  if (Outcome kept = PostCookies::Shared().Take(request.url, answer.Values("Set-Cookie"), now);
      !kept.IsOk()) {
    notes.push_back(kept.Reason());
  }
  PostAnswer classified = ClassifyPostAnswer(answer.body, request.url);
  PostResult result;
  switch (classified.kind) {
    case PostAnswerKind::kPosted:
      result = AfterPosting({}, Resnum(answer));
      break;
    case PostAnswerKind::kWarning:
      result = AfterPosting({PostCode::kWarning, classified.text}, Resnum(answer));
      break;
    case PostAnswerKind::kConfirm:
      result = PostResult(PostCode::kConfirm, classified.text);
      result.form = classified.form;
      confirmation_ = std::move(classified.form);
      confirmationWaits_ = true;
      break;
    case PostAnswerKind::kError:
      result = PostResult(PostCode::kRefused, classified.text);
      break;
    case PostAnswerKind::kUnknown: {
      // An answer that says nothing about the post (a server error, a redirect, a page of another
      // kind) may still come after the post was taken.
      std::string reason = Sjis("エラー:書き込めたかどうか分からない応答です (HTTP ") +
                           std::to_string(answer.status) + ")";
      if (!classified.text.empty()) reason += "\n" + classified.text;
      result = AfterNoAnswer({PostCode::kMayHaveBeenPosted, reason});
      break;
    }
  }
  result.datName =
      result.datName.empty() && !draft_.key.empty() ? draft_.key + ".dat" : result.datName;
  result.notes.insert(result.notes.begin(), notes.begin(), notes.end());
  return result;
}

void PostFlow::RefreshThread(PostResult& result) {
  SubjectList& list = List();
  if (Outcome prepared = PrepareCacheServer(draft_.boardUrl); !prepared.IsOk()) {
    result.notes.push_back(prepared.Reason());
  }
  if (draft_.key.empty()) {
    if (UpdateResult refreshed = list.Refresh();
        refreshed.Code() == Update::kFailed || refreshed.Code() == Update::kNotWritten) {
      result.notes.push_back(refreshed.Reason());
    }
    std::string found;
    const std::string subject(TrimView(draft_.subject));
    for (const auto& section : list.Ini()->Sections()) {
      const std::string& name = section.name;
      if (!IsThreadDatName(name) ||
          std::find(knownBefore_.begin(), knownBefore_.end(), name) != knownBefore_.end() ||
          TrimView(ReadTitle(*list.Ini(), name)) != subject) {
        continue;
      }
      if (found.empty() ||
          NewerKey(name.substr(0, name.size() - 4), found.substr(0, found.size() - 4))) {
        found = name;
      }
    }
    if (found.empty()) {
      result.notes.push_back(Sjis("エラー:立てたスレッドがスレッド一覧に見つかりません"));
      return;
    }
    result.datName = found;
  } else {
    result.datName = draft_.key + ".dat";
  }
  const UpdateResult fetched = FetchThreadLog(list, result.datName);
  if (fetched.Code() == Update::kFailed || fetched.Code() == Update::kNotWritten) {
    result.notes.push_back(fetched.Reason());
  }
}

PostResult PostFlow::AfterNoAnswer(PostResult result) {
  RefreshThread(result);
  if (result.datName.empty()) return result;
  const auto log = ReadWholeFile(boardDir_ + result.datName);
  const int after = draft_.key.empty() ? 0 : before_;
  if (auto found = FindOwnReply(log.value_or(""), {draft_.name, draft_.mail, draft_.message},
                                limits_.nonameName, after)) {
    result.number = *found;
    result.notes.push_back(Sjis("スレッドに送ったものと同じ内容のレスがあります: ") +
                           std::to_string(*found));
  }
  return result;
}

PostResult PostFlow::AfterPosting(PostResult result, std::optional<int> resnum) {
  RefreshThread(result);
  const std::string title = Title();
  if (!result.datName.empty()) {
    const auto log = ReadWholeFile(boardDir_ + result.datName);
    const int after = draft_.key.empty() ? 0 : before_;
    const auto found = FindOwnReply(log.value_or(""), {draft_.name, draft_.mail, draft_.message},
                                    limits_.nonameName, after, resnum);
    if (found) {
      result.number = *found;
      if (Outcome marked = MarkOwnPost(boardDir_, result.datName, *found, true); !marked.IsOk()) {
        result.notes.push_back(marked.Reason());
      }
    } else {
      result.notes.push_back(Sjis("エラー:書き込んだレスがスレッドに見つかりません"));
    }
  }
  WritingLogEntry entry;
  entry.time = static_cast<std::time_t>(time_);
  entry.subject = title;
  entry.url =
      result.datName.empty()
          ? draft_.boardUrl
          : ThreadUrl(draft_.boardUrl, result.datName.substr(0, result.datName.size() - 4), true);
  entry.name = draft_.name;
  entry.mail = draft_.mail;
  entry.message = draft_.message;
  if (Outcome logged = AppendWritingLog(WritingLogPath(), entry); !logged.IsOk()) {
    result.notes.push_back(logged.Reason());
  }
  return result;
}

}  // namespace velkor
