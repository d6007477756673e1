#include "portmap/PortMap.h"

#include "folders/Folders.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace serial {

namespace {

void WarnNoPortMap() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::fprintf(stderr,
                 "zov-q5r: this account has no home directory (no HOME, none in the password database): "
                 "the port map is not used\n");
  });
}

// The map directory, created when missing; throws when there is none.
fs::path MakeDir() {
  const fs::path dir = PortMapDir();
  if (dir.empty()) throw std::system_error(ENOENT, std::generic_category(), "no home directory for the port map");
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw std::system_error(ec, "cannot create " + dir.string());
  return dir;
}

// The map directory's lock, held while an entry is checked and replaced, so
// that publishers going through here change the entries one at a time.
class DirLock {
 public:
  explicit DirLock(const fs::path& dir) : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "cannot open " + dir.string());
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd_);
      throw std::system_error(err, std::generic_category(), "cannot lock " + dir.string());
    }
  }
  ~DirLock() { ::close(fd_); }  // releases the lock
  DirLock(const DirLock&) = delete;
  DirLock& operator=(const DirLock&) = delete;

 private:
  int fd_;
};

// Points entry at device: a symlink made under a name of its own, then
// renamed over the entry, so the entry is never missing.
void ReplaceEntry(const fs::path& entry, const fs::path& device) {
  static std::atomic<unsigned> counter{0};
  const fs::path tmp =
      entry.string() + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter.fetch_add(1));
  ::unlink(tmp.c_str());
  if (::symlink(device.c_str(), tmp.c_str()) != 0)
    throw std::system_error(errno, std::generic_category(), "cannot link " + entry.string());
  if (::rename(tmp.c_str(), entry.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    throw std::system_error(err, std::generic_category(), "cannot link " + entry.string());
  }
}

bool Dangling(const fs::path& entry) {
  std::error_code ec;
  return fs::is_symlink(fs::symlink_status(entry, ec)) && !fs::exists(entry, ec) && !ec;
}

}  // namespace

fs::path PortMapDir() {
  // Never a shared directory such as /tmp, where another user could plant
  // a COM entry: without a home there is no map.
  const fs::path config = folders::ConfigDir();
  if (config.empty()) {
    WarnNoPortMap();
    return {};
  }
  return config / "ports";
}

std::map<int, fs::path> PortMapEntries() {
  std::map<int, fs::path> out;
  const fs::path dir = PortMapDir();
  if (dir.empty()) return out;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
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
  const fs::path dir = MakeDir();
  DirLock lock(dir);
  ReplaceEntry(dir / ComName(number), device);
}

int PublishFirstFreePort(const fs::path& device) {
  const fs::path dir = MakeDir();
  DirLock lock(dir);
  for (int n = 1; n <= kMaxPortNumber; ++n) {
    const fs::path entry = dir / ComName(n);
    if (::symlink(device.c_str(), entry.c_str()) == 0) return n;
    if (errno != EEXIST) throw std::system_error(errno, std::generic_category(), "cannot link " + entry.string());
    // A dangling link is a leftover of a program that did not clean up; under
    // the lock no other publisher takes it meanwhile.
    if (Dangling(entry)) {
      ReplaceEntry(entry, device);
      return n;
    }
  }
  return 0;
}

void UnpublishPort(int number) {
  const fs::path dir = PortMapDir();
  if (!dir.empty()) ::unlink((dir / ComName(number)).c_str());
}

}  // namespace serial
