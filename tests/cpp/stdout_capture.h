// Test helpers for code that writes to file descriptor 1 and reads switches
// from the environment: the raw bytes written while a StdoutCapture lives,
// and an environment variable set or unset for one scope.
//
//   ScopedEnv trace("TOLVA_TRACE", "1");         // restored at scope end
//   StdoutCapture out;
//   emit(TraceSettings::from_environment(), "x", {});
//   EXPECT_EQ(out.finish(), "TRACE x\n");
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

namespace tolva::test_support {

// Sets (or, with nullopt, unsets) one environment variable and puts back the
// previous state on destruction.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = ::getenv(name)) previous_ = old;
    apply(value);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() { apply(previous_); }

 private:
  void apply(const std::optional<std::string>& value) {
    if (value)
      ::setenv(name_.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  std::string name_;
  std::optional<std::string> previous_;
};

// Sends fd 1 into a temporary file until finish(), which restores fd 1 and
// returns every byte written meanwhile.
class StdoutCapture {
 public:
  StdoutCapture() {
    std::fflush(stdout);
    file_ = std::tmpfile();
    saved_ = ::dup(1);
    ::dup2(::fileno(file_), 1);
  }
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;
  ~StdoutCapture() { finish(); }

  std::string finish() {
    std::string out;
    if (file_ == nullptr) return out;
    std::fflush(stdout);
    ::dup2(saved_, 1);
    ::close(saved_);
    std::rewind(file_);
    for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) out += static_cast<char>(c);
    std::fclose(file_);
    file_ = nullptr;
    return out;
  }

 private:
  std::FILE* file_ = nullptr;
  int saved_ = -1;
};

}  // namespace tolva::test_support
