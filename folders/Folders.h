#pragma once
// The program's folders in the user's account, by the XDG base directory
// rules, found in one place for everything that keeps a file there: the
// port map (configuration), the write log (data) and the instance lock
// (runtime). Plain C++, no Qt.
//
// None of them is ever a shared folder such as /tmp: where there is no home,
// there is no folder, and the caller says so.
#include <filesystem>
#include <string>

namespace folders {

// $HOME when it is an absolute path, otherwise the account's home in the
// password database; empty when neither gives one.
std::filesystem::path HomeDir();

// $XDG_CONFIG_HOME/zov-q5r when XDG_CONFIG_HOME is an absolute path, else
// <home>/.config/zov-q5r; empty without a home.
std::filesystem::path ConfigDir();
// $XDG_DATA_HOME/zov-q5r when XDG_DATA_HOME is an absolute path, else
// <home>/.local/share/zov-q5r; empty without a home.
std::filesystem::path DataDir();

// The user's runtime folder: $XDG_RUNTIME_DIR, else /run/user/<uid>, the
// first of them that is private (IsPrivateDir); empty when neither is.
// Nothing is made. When XDG_RUNTIME_DIR is set but not private, *refused
// (if given) says why, so that the caller can tell the user.
std::filesystem::path RuntimeDir(std::string* refused = nullptr);

// True when dir is a folder itself (not a symlink to one), owned by this
// user, that no one else may write in; otherwise false, and *why (if given)
// says what is wrong with it.
bool IsPrivateDir(const std::filesystem::path& dir, std::string* why = nullptr);

// Makes dir and the parents it lacks (those it makes with mode 0700) and
// checks that it is private. False, with the reason in *why, when it cannot
// be made or is not private.
bool MakePrivateDir(const std::filesystem::path& dir, std::string* why);

}  // namespace folders
