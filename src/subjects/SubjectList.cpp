#include "subjects/SubjectList.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <unordered_set>

#include "app/UrlPaths.h"
#include "base/FileUtil.h"
#include "base/IniDocument.h"
#include "base/Sjis.h"
#include "subjects/SubjectText.h"
#include "subjects/ThreadState.h"

namespace velkor {
namespace {

// The item of a thread from its section of subject.ini, read in one pass over its entries (the
// first entry of a key counts, as for IniDocument::Find).
ThreadItem ReadItemFrom(const IniDocument::Section& section) {
  ThreadItem item;
  item.datName = section.name;
  struct Field {
    std::string_view key;
    std::int32_t* number;
    std::string* text;
  };
  const Field fields[] = {
      {"NowNo", &item.nowNo, nullptr},
      {"PreNo", &item.preNo, nullptr},
      {"ResCount", &item.resCount, nullptr},
      {"GotCount", &item.gotCount, nullptr},
      {"Unread", &item.unread, nullptr},
      {"Title", nullptr, &item.title},
      {"LastModified", nullptr, &item.lastModified},
      {"DatSize", &item.datSize, nullptr},
  };
  bool seen[std::size(fields)] = {};
  for (const IniDocument::Entry& entry : section.entries) {
    if (!entry.hasValue) continue;
    for (std::size_t f = 0; f < std::size(fields); ++f) {
      if (seen[f] || !EqualsIgnoreAsciiCase(entry.key, fields[f].key)) continue;
      seen[f] = true;
      if (fields[f].text != nullptr) {
        *fields[f].text = entry.value;
      } else {
        if (auto v = ParseInteger<std::int32_t>(entry.value, IntegerSyntax::kIni)) {
          *fields[f].number = *v;
        }
      }
      break;
    }
  }
  item.state =
      ComputeThreadState(item.gotCount, item.unread, item.resCount, item.preNo, item.nowNo);
  return item;
}

std::string TrimRight(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return std::string(text);
}

// "0," formatting: thousands separated by commas.
std::string WithThousands(std::int32_t value) {
  std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

std::string RankText(std::int32_t no, bool past) {
  if (no == 0) return "-";
  if (past) return "dat";
  return std::to_string(no);
}

int CompareBytes(const std::string& a, const std::string& b) {
  int c = a.compare(b);  // std::string compares as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

template <typename T>
int CompareNumbers(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareByColumn(const ThreadItem& a, const ThreadItem& b, SubjectColumn column) {
  switch (column) {
    case SubjectColumn::kState:
      return CompareNumbers(a.state, b.state);
    case SubjectColumn::kRank:
      return CompareNumbers(a.nowNo, b.nowNo);
    case SubjectColumn::kPreviousRank:
      return CompareNumbers(a.preNo, b.preNo);
    case SubjectColumn::kTitle:
      return CompareBytes(a.title, b.title);
    case SubjectColumn::kResCount:
      return CompareNumbers(a.resCount, b.resCount);
    case SubjectColumn::kGotCount:
      return CompareNumbers(a.gotCount, b.gotCount);
    case SubjectColumn::kUnreadCount:
      return CompareNumbers(UnreadCountOf(a.gotCount, a.unread),
                            UnreadCountOf(b.gotCount, b.unread));
    case SubjectColumn::kLastModified:
      return CompareBytes(a.lastModified, b.lastModified);
    case SubjectColumn::kDatSize:
      return CompareNumbers(a.datSize, b.datSize);
    case SubjectColumn::kDatName:
      break;
  }
  return CompareBytes(a.datName, b.datName);
}

// The direction the first sort of a column takes after a fill: numbers that grow with interest
// (state, rank, replies, stored, unread) highest first, the others ascending.
bool SortsDescendingFirst(SubjectColumn column) {
  return column == SubjectColumn::kState || column == SubjectColumn::kRank ||
         column == SubjectColumn::kResCount || column == SubjectColumn::kGotCount ||
         column == SubjectColumn::kUnreadCount;
}

}  // namespace

std::uint8_t ComputeThreadState(std::int32_t gotCount, std::int32_t unread, std::int32_t resCount,
                                std::int32_t preNo, std::int32_t nowNo) {
  std::uint8_t state = gotCount > 0 ? kThreadLog : kThreadNoLog;
  if (gotCount > 0 && (gotCount >= unread || gotCount < resCount)) state |= kThreadUnread;
  if (preNo == 0) state |= kThreadNew;
  if (nowNo < 0) state |= kThreadPast;
  return state;
}

std::int32_t UnreadCountOf(std::int32_t gotCount, std::int32_t unread) {
  if (gotCount >= 0 && gotCount >= unread) {
    return static_cast<std::int32_t>(static_cast<long long>(gotCount) - unread + 1);
  }
  return 0;
}

Colour ThreadStateColour(std::uint8_t state, const Settings& settings) {
  if (state & kThreadUnread) return settings.unreadThreadColor;
  if (state & kThreadPast) return settings.pastThreadColor;
  if (state & kThreadLog) return settings.logExistThreadColor;
  if (state & kThreadNew) return settings.newThreadColor;
  if (state & kThreadOver1000) return settings.over1000ThreadColor;
  return settings.nologThreadColor;
}

SubjectList::SubjectList() {
  ResetSortDirections();
}
SubjectList::~SubjectList() = default;

bool SubjectList::Bind(const std::string& subjectIniPath, const std::string& boardUrl) {
  Release();
  boardUrl_ = boardUrl;
  ini_ = std::make_unique<IniDocument>();
  ini_->Load(subjectIniPath);
  std::size_t slash = subjectIniPath.rfind('/');
  dir_ = slash == std::string::npos ? std::string("./") : subjectIniPath.substr(0, slash + 1);
  return MakeDirectories(dir_);
}

void SubjectList::Release() {
  fetch_ = nullptr;
  ini_.reset();
  dir_.clear();
  boardUrl_.clear();
  items_.clear();
  rows_.clear();
}

std::string SubjectList::BoardUrlFromDir() const {
  if (!IsBound()) return std::string();
  return boardUrl_.empty() ? RebuiltBoardUrl(dir_) : boardUrl_;
}

std::string SubjectList::IniPath() const {
  return SubjectIniPath(dir_);
}

bool SubjectList::Flush() {
  return IsBound() && ini_->Save(IniPath());
}

bool SubjectList::Merge(std::vector<std::string> lines) {
  if (!IsBound()) return false;
  JoinBrokenLines(lines);
  // Sections below `known` were there before; `listed` marks the sections this list names.
  const std::size_t known = ini_->Sections().size();
  std::vector<char> listed(known, 0);
  SubjectLine parsed;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    if (!ParseSubjectLine(lines[n], parsed) || !IsThreadDatName(parsed.datName)) continue;
    const std::size_t at = ini_->AddOrGetSectionIndex(parsed.datName);
    if (at >= listed.size()) listed.resize(at + 1, 0);
    // A thread listed twice keeps its first place; a second entry would overwrite its previous
    // rank.
    if (listed[at]) continue;
    listed[at] = 1;
    IniDocument::Section& section = ini_->SectionAt(at);
    IniDocument::WriteString(
        section, "PreNo",
        std::to_string(IniDocument::ReadNumber<std::int32_t>(section, "NowNo", 0)));
    IniDocument::WriteString(section, "NowNo", std::to_string(n + 1));
    IniDocument::WriteString(section, "ResCount", std::to_string(parsed.resCount));
    if (at >= known) IniDocument::WriteString(section, "Title", TrimRight(parsed.title));
  }
  // Threads no longer listed, in file order; the forgotten ones are erased together at the end
  // (one pass instead of one per section).
  std::unordered_set<std::string> forgotten;
  for (std::size_t i = 0; i < known; ++i) {
    if (listed[i]) continue;
    IniDocument::Section& section = ini_->SectionAt(i);
    const std::string& name = section.name;
    std::int32_t got = IniDocument::ReadNumber<std::int32_t>(section, "GotCount", 0);
    if (got == 0) {
      forgotten.insert(name);
    } else if (IniDocument::ReadNumber<std::int32_t>(section, "PreNo", 0) < 0 &&
               got < IniDocument::ReadNumber<std::int32_t>(section, "Unread", 1)) {
      forgotten.insert(name);
      RemoveThreadLog(dir_, name);
    } else {
      IniDocument::WriteString(
          section, "PreNo",
          std::to_string(IniDocument::ReadNumber<std::int32_t>(section, "NowNo", 0)));
      IniDocument::WriteString(section, "NowNo", "-1");
    }
  }
  if (!forgotten.empty()) {
    ini_->EraseSectionsIf(
        [&](const IniDocument::Section& section) { return forgotten.count(section.name) > 0; });
  }
  return Flush();
}

bool SubjectList::StoreFetched(std::string_view log, const std::string& datName, bool flush,
                               const std::string& lastModified) {
  if (!IsBound()) return false;
  ini_->WriteInteger(datName, "GotCount", CountLines(log));
  ini_->WriteString(datName, "LastModified", lastModified);
  ini_->WriteInteger(datName, "DatSize", static_cast<long long>(log.size()));
  return !flush || Flush();
}

bool SubjectList::MarkPast(const std::string& datName, bool flush) {
  if (!IsBound()) return false;
  auto nowNo = ini_->ReadNumber<std::int32_t>(datName, "NowNo", 0);
  if (nowNo >= 0) {
    ini_->WriteInteger(datName, "PreNo", nowNo);
    ini_->WriteInteger(datName, "NowNo", -1);
  }
  return !flush || Flush();
}

bool SubjectList::ResetThread(const std::string& datName, bool flush) {
  if (!IsBound() || !ResetThreadState(*ini_, dir_, datName)) return false;
  return !flush || Flush();
}

bool SubjectList::DeleteLog(std::size_t row, const std::string& datName, bool flush) {
  if (!IsBound() || !IsThreadDatName(datName)) return false;
  // The row follows the reset state even when writing subject.ini failed: memory holds it.
  bool written = ResetThread(datName, flush);
  if (row < rows_.size()) {
    ThreadItem& item = items_[rows_[row]];
    item.gotCount = 0;
    item.unread = 1;
    item.lastModified.clear();
    item.datSize = 0;
    item.state = ComputeThreadState(0, 1, item.resCount, item.preNo, item.nowNo);
  }
  return written;
}

std::int32_t SubjectList::UnreadOf(const std::string& datName) const {
  if (!IsBound()) return 0;
  return ReadUnread(*ini_, datName);
}

std::int32_t SubjectList::SetUnread(const std::string& datName, std::int32_t n, bool flush) {
  if (!IsBound()) return 0;
  n = WriteUnread(*ini_, datName, n);
  if (flush) Flush();
  return n;
}

std::int32_t SubjectList::SetUnreadAt(std::size_t row, const std::string& datName, bool flush,
                                      std::int32_t n) {
  std::int32_t stored = SetUnread(datName, n, flush);
  if (IsBound() && row < rows_.size()) {
    ThreadItem& item = items_[rows_[row]];
    item.unread = stored;
    item.state =
        ComputeThreadState(item.gotCount, item.unread, item.resCount, item.preNo, item.nowNo);
  }
  return stored;
}

std::vector<ThreadItem> SubjectList::ThreadsWithNewReplies() const {
  std::vector<ThreadItem> found;
  if (!IsBound()) return found;
  for (const IniDocument::Section& section : ini_->Sections()) {
    ThreadItem item = ReadItemFrom(section);
    if (item.nowNo > 0 && item.gotCount > 0 && item.resCount > item.gotCount) {
      found.push_back(std::move(item));
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const ThreadItem& a, const ThreadItem& b) { return a.nowNo < b.nowNo; });
  return found;
}

ThreadItem SubjectList::ReadItem(const std::string& datName) const {
  if (const IniDocument::Section* section = IsBound() ? ini_->FindSection(datName) : nullptr) {
    ThreadItem item = ReadItemFrom(*section);
    item.datName = datName;
    return item;
  }
  ThreadItem item;
  item.datName = datName;
  item.state =
      ComputeThreadState(item.gotCount, item.unread, item.resCount, item.preNo, item.nowNo);
  return item;
}

void SubjectList::RefreshRow(std::size_t row) {
  if (!IsBound() || row >= rows_.size()) return;
  ThreadItem& item = items_[rows_[row]];
  ThreadItem fresh = ReadItem(item.datName);
  item.nowNo = fresh.nowNo;
  item.preNo = fresh.preNo;
  item.resCount = fresh.resCount;
  item.gotCount = fresh.gotCount;
  item.unread = fresh.unread;
  item.lastModified = fresh.lastModified;
  item.datSize = fresh.datSize;
  item.state =
      ComputeThreadState(item.gotCount, item.unread, item.resCount, item.preNo, item.nowNo);
}

int SubjectList::IndexOfDat(std::string_view datName) const {
  if (!IsBound()) return -1;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (items_[rows_[i]].datName == datName) return static_cast<int>(i);
  }
  return -1;
}

void SubjectList::ResetSortDirections() {
  for (int c = 0; c < kSubjectColumnCount; ++c) {
    sortDescending_[c] = SortsDescendingFirst(static_cast<SubjectColumn>(c));
  }
}

void SubjectList::Fill(std::uint8_t mask, const RowGrowth& growth) {
  items_.clear();
  rows_.clear();
  ResetSortDirections();
  if (!IsBound()) return;
  // Rows are ordered by nowNo, equal ranks in file order: a stable sort of each batch merged into
  // the sorted rows before it, so the rows are in order whenever the growth callback looks at them.
  auto byRank = [this](std::size_t a, std::size_t b) { return items_[a].nowNo < items_[b].nowNo; };
  std::size_t sorted = 0;
  auto mergeBatch = [&] {
    auto middle = rows_.begin() + static_cast<std::ptrdiff_t>(sorted);
    std::stable_sort(middle, rows_.end(), byRank);
    std::inplace_merge(rows_.begin(), middle, rows_.end(), byRank);
    sorted = rows_.size();
  };
  const auto& sections = ini_->Sections();
  items_.reserve(sections.size());
  rows_.reserve(sections.size());
  for (std::size_t n = 0; n < sections.size(); ++n) {
    if (growth && n % 64 == 31 && rows_.size() > sorted) {
      mergeBatch();
      growth(rows_.size());
    }
    ThreadItem item = ReadItemFrom(sections[n]);
    if ((item.state & mask) == 0) continue;
    items_.push_back(std::move(item));
    rows_.push_back(items_.size() - 1);
  }
  mergeBatch();
  if (growth) growth(rows_.size());
}

void SubjectList::SortBy(int column) {
  if (column < 0 || column >= kSubjectColumnCount) return;
  bool descending = sortDescending_[column];
  std::stable_sort(rows_.begin(), rows_.end(), [&](std::size_t a, std::size_t b) {
    int c = CompareByColumn(items_[a], items_[b], static_cast<SubjectColumn>(column));
    return descending ? c > 0 : c < 0;
  });
  sortDescending_[column] = !descending;
}

bool SubjectList::SortDescending(int column) const {
  return column >= 0 && column < kSubjectColumnCount && sortDescending_[column];
}

void SubjectList::FilterRows(const TextMatcher& matcher) {
  if (!IsBound()) return;
  std::erase_if(rows_, [&](std::size_t index) { return !matcher(items_[index].title); });
}

std::array<std::string, kSubjectColumnCount> ThreadCellTexts(const ThreadItem& item) {
  std::array<std::string, kSubjectColumnCount> texts;
  auto text = [&texts](SubjectColumn column) -> std::string& {
    return texts[static_cast<std::size_t>(column)];
  };
  text(SubjectColumn::kRank) = RankText(item.nowNo, (item.state & kThreadPast) != 0);
  text(SubjectColumn::kPreviousRank) = RankText(item.preNo, item.preNo < 0);
  text(SubjectColumn::kTitle) = item.title;
  text(SubjectColumn::kResCount) = std::to_string(item.resCount);
  text(SubjectColumn::kGotCount) = std::to_string(item.gotCount);
  text(SubjectColumn::kUnreadCount) = std::to_string(UnreadCountOf(item.gotCount, item.unread));
  text(SubjectColumn::kLastModified) = item.lastModified;
  text(SubjectColumn::kDatSize) = WithThousands(item.datSize);
  text(SubjectColumn::kDatName) = item.datName;
  return texts;
}

std::array<std::string, kSubjectColumnCount> SubjectList::CellTexts(std::size_t row) const {
  if (row >= rows_.size()) return {};
  return ThreadCellTexts(items_[rows_[row]]);
}

Colour SubjectList::RowColour(std::size_t row) const {
  if (row >= rows_.size()) return AppSettings().nologThreadColor;
  return ThreadStateColour(items_[rows_[row]].state, AppSettings());
}

}  // namespace velkor
