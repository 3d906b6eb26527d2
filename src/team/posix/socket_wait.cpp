#include <poll.h>

#include <cerrno>

#include "team/socket_wait.h"

namespace zarvex::team {

bool WaitSocket(int socket, bool forWrite, int milliseconds) {
  pollfd p{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
  const int n = poll(&p, 1, milliseconds);
  return n != 0 && !(n < 0 && errno == EINTR);
}

}  // namespace zarvex::team
