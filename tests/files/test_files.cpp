// Files saved whole over regular files only, and read only when regular,
// never waiting on a FIFO: what is there afterwards, and the reason given.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "ProcessLimits.h"
#include "files/Files.h"

namespace {

std::string Read(const QString& name) {
  QFile f(name);
  return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "<none>";
}

void Write(const QString& name, const std::string& bytes) {
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()));
}

// What a name stands for afterwards: its kind, and a regular file's content.
std::string Look(const QString& name) {
  struct stat st {};
  if (::lstat(QFile::encodeName(name).constData(), &st) != 0) return "none";
  if (S_ISLNK(st.st_mode)) return "link -> " + Look(QFileInfo(name).symLinkTarget());
  if (S_ISFIFO(st.st_mode)) return "fifo";
  if (S_ISCHR(st.st_mode)) return "device";
  if (S_ISDIR(st.st_mode)) return "folder";
  return "file " + Read(name);
}

const char* const kFifo = "je to pojmenovaná roura (FIFO), ne obyčejný soubor";

}  // namespace

TEST(SaveWholeFile, ReplacesARegularFileWholeOrLeavesWhatIsThereAsItWas) {
  files::IgnoreWriteSignals();  // as the program does: a write beyond the limit fails with EFBIG
  QTemporaryDir dir;
  const auto at = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += char(b);
  const bool root = ::geteuid() == 0;
  struct Case {
    const char* what;
    const char* name;
    std::function<void()> before;
    const char* why;  // null: saved
    std::string after;
  } cases[] = {
      {"over an old file", "old.txt", [&] { Write(at("old.txt"), "old"); }, nullptr, "file " + bytes},
      {"through a link to a file, which stays", "link.txt",
       [&] {
         Write(at("target.txt"), "old");
         QFile::link(at("target.txt"), at("link.txt"));
       },
       nullptr,
       "link -> file " + bytes},
      {"a FIFO in its place", "fifo", [&] { ::mkfifo(QFile::encodeName(at("fifo")), 0600); }, kFifo, "fifo"},
      {"a device in its place (root: a null device of its own)", "null",
       [&] { ::mknod(QFile::encodeName(at("null")), S_IFCHR | 0600, makedev(1, 3)); },
       "je to zařízení, ne obyčejný soubor", "device"},
      {"a link that leads nowhere", "dangling", [&] { QFile::link(at("gone"), at("dangling")); },
       "je to odkaz, který nikam nevede", "link -> none"},
      {"a folder in its place", "taken", [&] { QDir().mkdir(at("taken")); }, "je to složka, ne obyčejný soubor",
       "folder"},
      {"cut short by the file size limit", "limited.txt",
       [&] {
         Write(at("limited.txt"), "old");
         SetFileSizeLimit(100);
       },
       "File too large", "file old"},
  };
  for (const Case& c : cases) {
    if (std::string(c.what).find("root") != std::string::npos && !root) continue;
    c.before();
    std::string why;
    const bool saved = files::SaveWholeFile(at(c.name), bytes, &why);
    SetFileSizeLimit(RLIM_INFINITY);
    EXPECT_EQ(saved, c.why == nullptr) << c.what;
    EXPECT_EQ(why, c.why ? c.why : "") << c.what;
    EXPECT_EQ(Look(at(c.name)), c.after) << c.what;
  }
  // No temporary file left behind by any of them.
  QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
  names.sort();
  QStringList expected{"dangling", "fifo", "limited.txt", "link.txt", "old.txt", "taken", "target.txt"};
  if (root) expected << "null";
  expected.sort();
  EXPECT_EQ(names, expected);
}

TEST(ReadRegularFile, ReadsARegularFileAndRefusesAnythingElseWithoutWaiting) {
  QTemporaryDir dir;
  const auto at = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
  Write(at("set.q5r"), "0123456789");
  QFile::link(at("set.q5r"), at("link.q5r"));
  // A FIFO nobody writes to: opening it to read would wait for a writer.
  ::mkfifo(QFile::encodeName(at("fifo.q5r")), 0600);
  struct Case {
    QString name;
    std::size_t max;
    const char* bytes;  // null: refused
    const char* why;
  } cases[] = {
      {at("set.q5r"), 4, "0123", ""},  // no more than asked for
      {at("link.q5r"), 100, "0123456789", ""},
      {at("fifo.q5r"), 100, nullptr, kFifo},
      {QStringLiteral("/dev/zero"), 100, nullptr, "je to zařízení, ne obyčejný soubor"},
  };
  for (const Case& c : cases) {
    std::string why;
    const std::optional<std::string> bytes = files::ReadRegularFile(c.name, c.max, &why);
    EXPECT_EQ(bytes.has_value(), c.bytes != nullptr) << c.name.toStdString();
    if (bytes && c.bytes) EXPECT_EQ(*bytes, c.bytes);
    EXPECT_EQ(why, c.why) << c.name.toStdString();
  }
}
