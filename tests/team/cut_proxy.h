#pragma once
// A loopback TCP proxy in front of the server that cuts the connection once
// a given number of bytes has passed, in either direction: the TLS session
// dies wherever that falls (before a commit, with it sent, with its answer
// on the way).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace zarvex::team::test {

// A listening socket on a free loopback port; the kernel takes connections
// into its backlog whether anyone accepts them or not.
inline int ListenOnLoopback(int& port) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listener, 8) != 0) {
    close(listener);
    return -1;
  }
  socklen_t size = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
  port = ntohs(a.sin_port);
  return listener;
}

class TCutProxy {
 public:
  TCutProxy(int serverPort, long cutAfter) : serverPort_(serverPort), cutAfter_(cutAfter) {
    listener_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { Serve(); });
  }
  ~TCutProxy() {
    stop_ = true;
    shutdown(listener_, SHUT_RDWR);
    close(listener_);
    thread_.join();
  }
  std::string Port() const { return std::to_string(port_); }
  bool Cut() const { return cut_; }
  // From now on nothing passes either way, and the sockets stay open: a
  // server that has gone quiet with the connection up.
  void Freeze() { frozen_ = true; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0) continue;
      const int upstream = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      a.sin_port = htons(static_cast<uint16_t>(serverPort_));
      if (connect(upstream, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) Pump(client, upstream);
      close(upstream);
      close(client);
    }
  }
  // Both directions until either side ends or the byte budget is spent.
  void Pump(int client, int upstream) {
    char buffer[4096];
    while (!stop_) {
      pollfd p[2] = {{client, POLLIN, 0}, {upstream, POLLIN, 0}};
      if (poll(p, 2, 100) < 0) return;
      if (frozen_) continue;
      for (int i = 0; i < 2; ++i) {
        if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const int from = p[i].fd, to = i == 0 ? upstream : client;
        long n = read(from, buffer, sizeof buffer);
        if (n <= 0) return;
        if (passed_ + n > cutAfter_) {
          n = cutAfter_ - passed_;
          if (n > 0) (void)!write(to, buffer, static_cast<size_t>(n));
          cut_ = true;
          return;
        }
        passed_ += n;
        if (write(to, buffer, static_cast<size_t>(n)) != n) return;
      }
    }
  }

  int serverPort_;
  long cutAfter_;
  long passed_ = 0;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false}, cut_{false}, frozen_{false};
  std::thread thread_;
};

}  // namespace zarvex::team::test
