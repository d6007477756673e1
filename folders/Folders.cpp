#include "folders/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace folders {

namespace {

const char* const kProgram = "zov-q5r";

// An environment variable's path when it is absolute; the base directory
// rules ignore a relative one.
fs::path AbsoluteFromEnv(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0] == '/' ? fs::path(value) : fs::path();
}

// $XDG_<kind>_HOME, else the home's default for it, with the program's folder.
fs::path ProgramDir(const char* xdgName, const fs::path& inHome) {
  if (fs::path base = AbsoluteFromEnv(xdgName); !base.empty()) return base / kProgram;
  const fs::path home = HomeDir();
  return home.empty() ? fs::path() : home / inHome / kProgram;
}

}  // namespace

fs::path HomeDir() {
  if (fs::path home = AbsoluteFromEnv("HOME"); !home.empty()) return home;
  const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  int e;
  while ((e = ::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found)) == ERANGE) buf.resize(buf.size() * 2);
  if (e != 0 || !found || !pw.pw_dir || pw.pw_dir[0] != '/') return {};
  return pw.pw_dir;
}

fs::path ConfigDir() { return ProgramDir("XDG_CONFIG_HOME", ".config"); }

fs::path DataDir() { return ProgramDir("XDG_DATA_HOME", fs::path(".local") / "share"); }

fs::path RuntimeDir(std::string* refused) {
  if (const fs::path xdg = AbsoluteFromEnv("XDG_RUNTIME_DIR"); !xdg.empty()) {
    std::string why;
    if (IsPrivateDir(xdg, &why)) return xdg;
    if (refused) *refused = xdg.string() + ": " + why;
  }
  const fs::path perUser = fs::path("/run/user") / std::to_string(::geteuid());
  return IsPrivateDir(perUser) ? perUser : fs::path();
}

bool IsPrivateDir(const fs::path& dir, std::string* why) {
  auto fail = [why](std::string text) {
    if (why) *why = std::move(text);
    return false;
  };
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return fail(std::strerror(errno));
  if (S_ISLNK(st.st_mode)) return fail("a symbolic link, not a folder of its own");
  if (!S_ISDIR(st.st_mode)) return fail("not a folder");
  if (st.st_uid != ::geteuid()) return fail("owned by another user (uid " + std::to_string(st.st_uid) + ")");
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return fail("others may write in it");
  return true;
}

bool MakePrivateDir(const fs::path& dir, std::string* why) {
  // Parent first, each new folder with 0700: nobody else gets a moment in
  // which to write into one.
  fs::path made;
  for (const fs::path& part : dir) {
    made /= part;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
      if (why) *why = "cannot make " + made.string() + ": " + std::strerror(errno);
      return false;
    }
  }
  return IsPrivateDir(dir, why);
}

}  // namespace folders
