#include <winsock2.h>

#include "team/socket_wait.h"

namespace zarvex::team {

bool WaitSocket(int socket, bool forWrite, int milliseconds) {
  WSAPOLLFD p{};
  p.fd = static_cast<SOCKET>(socket);
  p.events = forWrite ? POLLWRNORM : POLLRDNORM;
  return WSAPoll(&p, 1, milliseconds) != 0;
}

}  // namespace zarvex::team
