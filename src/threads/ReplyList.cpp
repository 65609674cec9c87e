#include "threads/ReplyList.h"

#include <utility>

namespace velkor {

void ReplyList::Add(std::string name, std::string mail, std::string date, std::string message) {
  entries_.push_back(std::move(name));
  entries_.push_back(std::move(mail));
  entries_.push_back(std::move(date));
  entries_.push_back(std::move(message));
}

}  // namespace velkor
