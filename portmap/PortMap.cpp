#include "portmap/PortMap.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace serial {

namespace {

fs::path EntryPath(int number) { return PortMapDir() / ComName(number); }

void MakeDir() {
  std::error_code ec;
  fs::create_directories(PortMapDir(), ec);
  if (ec) throw std::system_error(ec, "cannot create " + PortMapDir().string());
}

}  // namespace

fs::path PortMapDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  fs::path base;
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = fs::path(home && *home ? home : "/tmp") / ".config";
  }
  return base / "zov-q5r" / "ports";
}

std::map<int, fs::path> PortMapEntries() {
  std::map<int, fs::path> out;
  std::error_code ec;
  fs::directory_iterator it(PortMapDir(), ec);
  if (ec) return out;
  for (const auto& e : it) {
    const int n = ExactComNumber(e.path().filename().string());
    if (n == 0) continue;
    std::error_code lec;
    if (fs::is_symlink(e.symlink_status(lec))) {
      fs::path target = fs::read_symlink(e.path(), lec);
      if (lec) continue;
      if (target.is_relative()) target = e.path().parent_path() / target;
      out[n] = target.lexically_normal();
    } else {
      out[n] = e.path();
    }
  }
  return out;
}

void PublishPort(int number, const fs::path& device) {
  MakeDir();
  const fs::path entry = EntryPath(number);
  const fs::path tmp = entry.string() + ".tmp" + std::to_string(::getpid());
  ::unlink(tmp.c_str());
  if (::symlink(device.c_str(), tmp.c_str()) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot link " + entry.string());
  if (::rename(tmp.c_str(), entry.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    throw std::system_error(err, std::generic_category(), "cannot link " + entry.string());
  }
}

int PublishFirstFreePort(const fs::path& device) {
  MakeDir();
  for (int n = 1; n <= kMaxPortNumber; ++n) {
    const fs::path entry = EntryPath(n);
    if (::symlink(device.c_str(), entry.c_str()) == 0) return n;
    if (errno != EEXIST)
      throw std::system_error(errno, std::generic_category(), "cannot link " + entry.string());
    // A dangling link is a leftover of a program that did not clean up.
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(entry, ec)) && !fs::exists(entry, ec)) {
      if (::unlink(entry.c_str()) == 0 && ::symlink(device.c_str(), entry.c_str()) == 0) return n;
    }
  }
  return 0;
}

void UnpublishPort(int number) { ::unlink(EntryPath(number).c_str()); }

}  // namespace serial
