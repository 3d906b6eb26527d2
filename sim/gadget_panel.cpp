#include "sim/gadget_panel.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace zarvex::sim {

GadgetPanel::GadgetPanel(std::string hidgPath) : path_(std::move(hidgPath)) {
  thread_ = std::thread([this] { Serve(); });
}

GadgetPanel::~GadgetPanel() {
  stop_ = true;
  thread_.join();
  if (fd_ >= 0) close(fd_);
}

void GadgetPanel::Plug(PanelKind kind, int firmwareVersion) {
  std::lock_guard lock(mutex_);
  model_.emplace(kind, firmwareVersion);
}

void GadgetPanel::WithModel(const std::function<void(PanelModel&)>& action) {
  std::lock_guard lock(mutex_);
  if (model_) action(*model_);
}

std::vector<std::chrono::steady_clock::time_point> GadgetPanel::WriteTimes() const {
  std::lock_guard lock(mutex_);
  return writeTimes_;
}

int GadgetPanel::OpenNode() {
  if (detached_) {
    if (fd_ >= 0) {
      std::lock_guard lock(writeMutex_);
      close(fd_);
      fd_ = -1;
    }
    return -1;
  }
  if (fd_ < 0) fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
  return fd_;
}

void GadgetPanel::Detach() {
  detached_ = true;
  // Serve owns the descriptor; it closes it within one poll slice.
  while (fd_ >= 0 && thread_.joinable() && !stop_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void GadgetPanel::Attach() { detached_ = false; }

bool GadgetPanel::Send(const Report& report) {
  std::lock_guard lock(writeMutex_);
  const int fd = fd_;
  if (fd < 0) return false;
  const auto at = std::chrono::steady_clock::now();
  if (write(fd, report.data(), report.size()) != static_cast<ssize_t>(report.size())) return false;
  std::lock_guard times(mutex_);
  writeTimes_.push_back(at);
  return true;
}

void GadgetPanel::Serve() {
  std::vector<uint8_t> buffer(kReportLength);
  while (!stop_) {
    const int fd = OpenNode();
    if (fd < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 50);
    if (ready <= 0) continue;
    const ssize_t n = read(fd, buffer.data(), buffer.size());
    if (n <= 0) {
      // Unbound: the node comes back with the next bind.
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        std::lock_guard lock(writeMutex_);
        close(fd_);
        fd_ = -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
      continue;
    }
    std::vector<Report> answers;
    {
      std::lock_guard lock(mutex_);
      if (!model_) continue;
      answers = model_->HandleOutputReport(Report(buffer.begin(), buffer.begin() + n)).reports;
    }
    for (const Report& answer : answers) Send(answer);
  }
}

}  // namespace zarvex::sim
