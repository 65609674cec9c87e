#pragma once

// The next-thread candidates of a thread among the threads its board's list shows now.

#include <cstddef>
#include <string>
#include <vector>

#include "threads/NextThread.h"

namespace velkor {

class SubjectList;

// How many candidates a reader is offered.
inline constexpr std::size_t kNextThreadChoices = 5;

// The likely successors of the thread `datName` ("<key>.dat") titled `title` (CP932, as stored)
// among the threads `list` shows now (NowNo > 0), best first, at most `limit`: FindNextThreads
// (NextThread.h). None while the list is unbound or for a name that is not "<decimal>.dat".
std::vector<NextThreadCandidate> NextThreadsOnBoard(const SubjectList& list,
                                                    const std::string& datName,
                                                    const std::string& title,
                                                    std::size_t limit = kNextThreadChoices);

}  // namespace velkor
