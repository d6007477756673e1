#pragma once
// The process's environment for a test's cases: an environment variable set
// or unset for a while, and the file size limit (ulimit -f).
#include <cstdlib>
#include <string>
#include <sys/resource.h>

// Sets or unsets an environment variable for the object's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name), had_(std::getenv(name) != nullptr) {
    if (had_) old_ = std::getenv(name);
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_) ::setenv(name_, old_.c_str(), 1);
    else ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_;
  std::string old_;
};

// Files may grow to bytes (RLIM_INFINITY: as far as the hard limit lets
// them). A write beyond it fails with EFBIG once SIGXFSZ is ignored.
inline void SetFileSizeLimit(rlim_t bytes) {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = bytes == RLIM_INFINITY ? limit.rlim_max : bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}
