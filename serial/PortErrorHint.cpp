#include "serial/PortErrorHint.h"

#include <cerrno>

#include "portmap/PortMap.h"

namespace serial {

std::string PortErrorHint(int sysErrno) {
  switch (sysErrno) {
    case EACCES:
    case EPERM:
      return "K portu nemáte přístup: uživatel musí být ve skupině dialout "
             "(sudo usermod -aG dialout $USER) a pak se znovu přihlásit.";
    case EBUSY:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN:
      return "Port používá jiný program. Ukončete ho a zkuste to znovu.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO: {
      const std::string map = PortMapDir().string();
      return "Port nebyl nalezen: zkontrolujte kabel a převodník USB, případně mapu portů (" +
             (map.empty() ? std::string("tento účet nemá domovskou složku, a tak ani mapu portů") : map) + ").";
    }
    default:
      return {};
  }
}

}  // namespace serial
