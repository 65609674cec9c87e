#include "threads/NextThreadsOnBoard.h"

#include "base/IniDocument.h"
#include "subjects/SubjectList.h"
#include "subjects/SubjectText.h"

namespace velkor {
namespace {

std::string KeyOf(const std::string& datName) {
  return datName.substr(0, datName.size() - 4);
}

}  // namespace

std::vector<NextThreadCandidate> NextThreadsOnBoard(const SubjectList& list,
                                                    const std::string& datName,
                                                    const std::string& title, std::size_t limit) {
  if (!list.IsBound() || !IsThreadDatName(datName)) return {};
  std::vector<ThreadEntry> listed;
  for (const IniDocument::Section& section : list.Ini()->Sections()) {
    ThreadItem item = list.ReadItem(section.name);
    if (item.nowNo > 0 && IsThreadDatName(item.datName)) {
      listed.push_back({KeyOf(item.datName), std::move(item.title), item.resCount});
    }
  }
  const ThreadEntry old{KeyOf(datName), title, list.ReadItem(datName).resCount};
  return FindNextThreads(old, listed, limit);
}

}  // namespace velkor
