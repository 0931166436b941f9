// TolvaError: the one error type of the tolva core, and Result<T>, the value
// every fallible core operation returns.
//
// Nothing in the core throws. An operation that can fail returns Result<T>,
// which holds either its value or a TolvaError; callers pass errors upward
// unchanged and never re-label one kind as another.
//
//   Result<GraphWrap> g = parse_something(text);
//   if (!g) return std::unexpected(g.error());
//   std::string shown = g.error().display();   // "parse error: line 3: ..."
//
// The display text is what a Python caller sees as the ValueError message.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace tolva {

// The numeric value of each kind is its stable tag.
enum class ErrorKind : std::uint8_t {
  Io = 0,           // reading input failed (kept for completeness; readers report Parse)
  Parse = 1,        // unreadable input, unknown root, or an internal rewrite failure
  MissingNode = 2,  // a referenced node does not exist (part of the type; not raised today)
  InvalidRule = 3,  // a malformed rule text (part of the type; not raised today)
  Unsupported = 4,  // a rule that is not implemented, or a rewrite beyond its limits
  Interrupted = 5,  // the caller asked the call to stop (a signal, a cancelled batch)
};

class TolvaError {
 public:
  TolvaError(ErrorKind kind, std::string message)
      : kind_(kind), message_(std::move(message)) {}

  ErrorKind kind() const { return kind_; }
  const std::string& message() const { return message_; }

  // "io error: {}", "parse error: {}", "missing node: {}", "invalid rule: {}",
  // "unsupported: {}" or "interrupted: {}", the message inserted unchanged.
  // Never fails.
  std::string display() const;

  friend bool operator==(const TolvaError&, const TolvaError&) = default;

 private:
  ErrorKind kind_;
  std::string message_;
};

// The fixed prefix of a kind's display text, e.g. "parse error: ".
std::string_view display_prefix(ErrorKind kind);

template <typename T>
using Result = std::expected<T, TolvaError>;

// Shorthands for the common "fail with this kind and message" return.
inline std::unexpected<TolvaError> parse_error(std::string message) {
  return std::unexpected(TolvaError(ErrorKind::Parse, std::move(message)));
}
inline std::unexpected<TolvaError> unsupported_error(std::string message) {
  return std::unexpected(TolvaError(ErrorKind::Unsupported, std::move(message)));
}
inline std::unexpected<TolvaError> interrupted_error() {
  return std::unexpected(TolvaError(ErrorKind::Interrupted, "stopped at the caller's request"));
}

}  // namespace tolva
