#include "hid/readable_descriptors.h"

#include <poll.h>

namespace zarvex::hid {

std::vector<int> ReadableDescriptors(const std::vector<int>& fds, int timeoutMs) {
  std::vector<pollfd> polled;
  for (const int fd : fds) polled.push_back({fd, POLLIN, 0});
  std::vector<int> ready;
  if (poll(polled.data(), polled.size(), timeoutMs) <= 0) return ready;
  for (const pollfd& p : polled) {
    if (p.revents & (POLLIN | POLLERR | POLLHUP)) ready.push_back(p.fd);
  }
  return ready;
}

}  // namespace zarvex::hid
