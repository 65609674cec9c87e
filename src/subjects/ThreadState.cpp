#include "subjects/ThreadState.h"

#include <cstdint>
#include <utility>

#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"

namespace velkor {

std::string SubjectIniPath(std::string_view boardDir) {
  return std::string(boardDir) + "subject.ini";
}

std::int32_t ReadUnread(const IniDocument& ini, std::string_view datName) {
  return ini.ReadNumber<std::int32_t>(datName, "Unread", 1);
}

std::int32_t ReadGotCount(const IniDocument& ini, std::string_view datName) {
  return ini.ReadNumber<std::int32_t>(datName, "GotCount", 0);
}

std::string ReadTitle(const IniDocument& ini, std::string_view datName) {
  return ini.ReadString(datName, "Title", "");
}

std::string ReadLastModified(const IniDocument& ini, std::string_view datName) {
  return ini.ReadString(datName, "LastModified", "");
}

bool HoldsListedReplies(const IniDocument& ini, std::string_view datName) {
  const long long resCount = ini.ReadInteger(datName, "ResCount", 0);
  return resCount != 0 && ini.ReadInteger(datName, "GotCount", 0) >= resCount;
}

std::int32_t WriteUnread(IniDocument& ini, std::string_view datName, std::int32_t n) {
  if (n < 1) n = ReadGotCount(ini, datName) + 1;
  ini.WriteInteger(datName, "Unread", n);
  return n;
}

void RemoveThreadLog(const std::string& boardDir, const std::string& datName) {
  if (!IsThreadDatName(datName)) return;
  RemoveFile(boardDir + datName);
  RemoveFile(boardDir + OwnPostsFileName(datName));
}

bool ResetThreadState(IniDocument& ini, const std::string& boardDir, const std::string& datName) {
  if (!IsThreadDatName(datName)) return false;
  RemoveThreadLog(boardDir, datName);
  ini.WriteInteger(datName, "GotCount", 0);
  ini.WriteInteger(datName, "Unread", 1);
  ini.WriteString(datName, "LastModified", "");
  ini.WriteInteger(datName, "DatSize", 0);
  return true;
}

ThreadState::ThreadState(std::string boardDir, std::string datName, SubjectList* shown)
    : boardDir_(std::move(boardDir)), datName_(std::move(datName)), shown_(shown) {
  if (Shown() != nullptr || boardDir_.empty()) return;
  const std::string path = FilePath();
  readable_ = file_.Load(path) || !FileExists(path);
}

SubjectList* ThreadState::Shown() const {
  if (shown_ == nullptr || !shown_->IsBound() || boardDir_.empty()) return nullptr;
  return shown_->Dir() == boardDir_ ? shown_ : nullptr;
}

std::int32_t ThreadState::FirstUnread() const {
  const SubjectList* shown = Shown();
  return shown != nullptr ? shown->UnreadOf(datName_) : ReadUnread(file_, datName_);
}

std::string ThreadState::Title() const {
  const SubjectList* shown = Shown();
  return ReadTitle(shown != nullptr ? *shown->Ini() : file_, datName_);
}

bool ThreadState::IsPast() const {
  const SubjectList* shown = Shown();
  return (shown != nullptr ? *shown->Ini() : file_).ReadNumber<std::int32_t>(datName_, "NowNo", 0) <
         0;
}

bool ThreadState::StoreFirstUnread(std::int32_t n) {
  if (boardDir_.empty() || datName_.empty()) return false;
  if (SubjectList* shown = Shown()) {
    const int row = shown->IndexOfDat(datName_);
    if (row < 0) {
      shown->SetUnread(datName_, n, false);
    } else {
      shown->SetUnreadAt(static_cast<std::size_t>(row), datName_, false, n);
    }
    return shown->Flush();
  }
  if (!readable_) return false;
  file_.WriteInteger(datName_, "Unread", n);
  return file_.Save(FilePath());
}

bool ThreadState::CanDeleteLog() const {
  return !boardDir_.empty() && IsThreadDatName(datName_);
}

bool ThreadState::DeleteLog() {
  if (!CanDeleteLog()) return false;
  if (SubjectList* shown = Shown()) {
    const int row = shown->IndexOfDat(datName_);
    if (row < 0) return shown->ResetThread(datName_, true);
    return shown->DeleteLog(static_cast<std::size_t>(row), datName_, true);
  }
  if (!readable_) {
    // The log goes all the same, as it always has: only the unreadable state file is kept.
    RemoveThreadLog(boardDir_, datName_);
    return false;
  }
  ResetThreadState(file_, boardDir_, datName_);
  return file_.Save(FilePath());
}

}  // namespace velkor
