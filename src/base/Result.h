#pragma once

#include <string>
#include <utility>

namespace velkor {

// What an operation that can fail came to: a code of the operation's own scoped enum (whose
// `kOk` means success) and, for every other code, a reason text the caller can show as it is
// (CP932, one line, e.g. "エラー:保存できません: ..."). The core returns it instead of showing
// anything; the window puts Reason() in a box or the status bar, the CLI on stderr.
//
//   enum class SaveCode { kOk, kNotWritten };
//   Result<SaveCode> Save();            // return {};  return {SaveCode::kNotWritten, text};
template <typename CodeType>
class [[nodiscard]] Result {
 public:
  // Success.
  Result() = default;
  Result(CodeType code, std::string reason = {}) : code_(code), reason_(std::move(reason)) {}

  bool IsOk() const { return code_ == CodeType::kOk; }
  CodeType Code() const { return code_; }
  const std::string& Reason() const { return reason_; }

 private:
  CodeType code_ = CodeType::kOk;
  std::string reason_;
};

// The codes of an operation that only succeeds or fails.
enum class Status { kOk, kFailed };

// A Result of an operation that only succeeds or fails; a failure always has a reason.
using Outcome = Result<Status>;

inline Outcome Failed(std::string reason) {
  return {Status::kFailed, std::move(reason)};
}

// A Result that carries a value on success (default-constructed on failure).
template <typename T, typename CodeType = Status>
class [[nodiscard]] ResultWith : public Result<CodeType> {
 public:
  ResultWith(T value) : value_(std::move(value)) {}
  ResultWith(Result<CodeType> failure) : Result<CodeType>(std::move(failure)) {}
  ResultWith(CodeType code, std::string reason) : Result<CodeType>(code, std::move(reason)) {}

  const T& Value() const& { return value_; }
  T& Value() & { return value_; }
  T&& Value() && { return std::move(value_); }

 private:
  T value_{};
};

}  // namespace velkor
