// The errno -> Windows error code table of the device layer, and the error
// the layer throws.
#include "serial/ComDevice.h"

#include <cerrno>
#include <system_error>

// errno -> the Windows error code the component shows:
//   ENOENT, ENODEV, ENXIO  -> 2     ERROR_FILE_NOT_FOUND (no such device)
//   EACCES, EPERM          -> 5     ERROR_ACCESS_DENIED (e.g. not in dialout)
//   EBADF                  -> 6     ERROR_INVALID_HANDLE
//   ENOMEM                 -> 8     ERROR_NOT_ENOUGH_MEMORY
//   EBUSY, EWOULDBLOCK     -> 32    ERROR_SHARING_VIOLATION (port in use;
//                                   a refused lock is reported as EBUSY)
//   EINVAL                 -> 87    ERROR_INVALID_PARAMETER (e.g. a speed
//                                   the driver cannot set)
//   ETIMEDOUT              -> 121   ERROR_SEM_TIMEOUT
//   EIO                    -> 1117  ERROR_IO_DEVICE (device vanished)
//   anything else          -> 31    ERROR_GEN_FAILURE
// The errno itself travels along in the ComOsError.
int WinCodeFromErrno(int e) {
  switch (e) {
    case ENOENT: case ENODEV: case ENXIO: return winerr::kFileNotFound;
    case EACCES: case EPERM: return winerr::kAccessDenied;
    case EBADF: return winerr::kInvalidHandle;
    case ENOMEM: return winerr::kNotEnoughMemory;
    case EBUSY: case EWOULDBLOCK: return winerr::kSharingViolation;
    case EINVAL: return winerr::kInvalidParameter;
    case ETIMEDOUT: return winerr::kSemTimeout;
    case EIO: return winerr::kIoDevice;
    default: return winerr::kGenFailure;
  }
}


void ThrowOsError(int sysErrno, const std::string& what) {
  throw ComOsError(WinCodeFromErrno(sysErrno), sysErrno, what + ": " + std::generic_category().message(sysErrno));
}
