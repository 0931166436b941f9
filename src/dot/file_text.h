// Reading a whole file as UTF-8 text, with failures as messages.
//
//   auto text = read_file_text("/no/such/file");
//   // text.error() == "No such file or directory (os error 2)"
//
// Failures:
//   - the path holds a NUL character: "file name contained an unexpected NUL byte"
//     (nothing is opened; the part before the NUL never names the file);
//   - opening or reading fails: the system's text for the error number followed
//     by " (os error N)", e.g. "Is a directory (os error 21)" for a directory;
//   - the content is not valid UTF-8: "stream did not contain valid UTF-8".
#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "error/stop_control.h"

namespace tolva {

std::expected<std::string, std::string> read_file_text(std::string_view path, StopControl* stop = nullptr);

// The whole file as it is, without the UTF-8 check; the same failures otherwise.
std::expected<std::string, std::string> read_file_bytes(std::string_view path, StopControl* stop = nullptr);

// "<system text for code> (os error <code>)".
std::string os_error_message(int code);

}  // namespace tolva
