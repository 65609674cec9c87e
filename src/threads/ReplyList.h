#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velkor {

// The replies of one loaded thread: four entries per reply (name, mail, date, converted message),
// in reply order. Reply k (1-based) occupies entries 4(k-1) ... 4(k-1)+3.
class ReplyList {
 public:
  void Clear() { entries_.clear(); }
  void Reserve(std::size_t replies) { entries_.reserve(replies * 4); }
  void Add(std::string name, std::string mail, std::string date, std::string message);

  // The number of complete replies: the entry count divided by 4.
  int Count() const { return static_cast<int>(entries_.size() / 4); }

  // Fields of reply k, 1 <= k <= Count().
  const std::string& Name(int k) const { return Entry(k, 0); }
  const std::string& Mail(int k) const { return Entry(k, 1); }
  const std::string& Date(int k) const { return Entry(k, 2); }
  const std::string& Message(int k) const { return Entry(k, 3); }

  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  const std::string& Entry(int k, int field) const {
    return entries_[static_cast<std::size_t>(k - 1) * 4 + static_cast<std::size_t>(field)];
  }

  std::vector<std::string> entries_;
};

}  // namespace velkor
