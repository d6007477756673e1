#pragma once
// Files saved whole and read safely. What the program writes or reads as a
// file must be one: a named pipe (FIFO) or a device where a file was
// expected is refused with a reason, never opened in a way that could block
// the caller (a FIFO without a writer or reader), never replaced by a
// regular file, and never written to. Qt Core only.
//
// The reasons are in Czech, for the operator's messages ("Sadu parametrů
// nelze uložit do souboru …: <reason>"); the system's own reasons are its
// words for the error ("File too large").
#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace files {

// A write to a pipe whose reader has gone, or beyond the file size limit
// (ulimit -f), then fails with EPIPE or EFBIG like any other failed write,
// which the program reports, instead of ending the program by SIGPIPE or
// SIGXFSZ. Called first thing in main().
void IgnoreWriteSignals();

// Writes bytes to fileName in place of what is there: a regular file (also
// through a symlink, which stays) or nothing yet. Anything else (a FIFO, a
// device, a folder, a symlink that leads nowhere) is refused untouched. The
// new content goes to a temporary file beside it that replaces the old file
// only once it is complete, so a failure (no such folder, no permission, a
// full disk, a file size limit) leaves the old file as it was. False, with
// the reason in *why, when the file was not saved.
bool SaveWholeFile(const QString& fileName, std::string_view bytes, std::string* why);

// The first maxBytes bytes (all of a smaller file) of fileName, which must
// be a regular file (also through a symlink). Anything else is refused
// before it is opened, and the open itself never waits. Nothing, with the
// reason in *why, when it cannot be read.
std::optional<std::string> ReadRegularFile(const QString& fileName, std::size_t maxBytes, std::string* why);

// Opens path for appending (O_APPEND, and for reading, so that the caller
// can look at the file's end), making it (mode 0666 less the umask) when it
// is missing, only when it is a regular file; the open never waits. The
// descriptor (close-on-exec), or -1 with the reason in *why.
int OpenRegularForAppend(const std::string& path, std::string* why);

}  // namespace files
