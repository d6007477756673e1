#pragma once
// What the operator can do about a port that failed, by the errno behind the
// port's error: the words both programs add below the error's own text and
// the system's words for the errno. Plain C++.
#include <string>

// The hint (UTF-8) for an errno behind a port error; "" when there is none.
// A port that is not found names the port map in use, where the operator
// would look for it.
namespace serial {
std::string PortErrorHint(int sysErrno);
}
