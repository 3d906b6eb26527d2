#include "hid/errno_kind.h"

#include <cerrno>

namespace zarvex::hid {

THidErrorKind ClassifyErrno(uint32_t error) {
  switch (static_cast<int>(error)) {
    case 0:
      return THidErrorKind::None;
    case ENODEV:
    case ENOENT:
    case ENXIO:
    case EIO:
      return THidErrorKind::Gone;
    case EACCES:
    case EPERM:
      return THidErrorKind::Denied;
    case EBUSY:
    case EWOULDBLOCK:
      return THidErrorKind::Busy;
    case ETIMEDOUT:
      return THidErrorKind::TimedOut;
    default:
      return THidErrorKind::Other;
  }
}

uint32_t ErrnoOfKind(THidErrorKind kind) {
  switch (kind) {
    case THidErrorKind::None: return 0;
    case THidErrorKind::Gone: return ENODEV;
    case THidErrorKind::Denied: return EACCES;
    case THidErrorKind::Busy: return EBUSY;
    case THidErrorKind::TimedOut: return ETIMEDOUT;
    case THidErrorKind::Other: break;
  }
  return EIO;
}

}  // namespace zarvex::hid
