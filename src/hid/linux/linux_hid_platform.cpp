#include "hid/linux/linux_hid_platform.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "hid/errno_kind.h"
#include "hid/hid_main_loop.h"
#include "hid/report_descriptor.h"

namespace zarvex::hid {

namespace {

// The sysfs side of one hidraw node. Each lookup takes its own udev
// context: libudev contexts are not shared between threads.
class SysfsNode {
 public:
  explicit SysfsNode(const std::string& devicePath) : udev_(udev_new()) {
    const auto slash = devicePath.rfind('/');
    const std::string name = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
    if (udev_) dev_ = udev_device_new_from_subsystem_sysname(udev_, "hidraw", name.c_str());
  }
  ~SysfsNode() {
    if (dev_) udev_device_unref(dev_);
    if (udev_) udev_unref(udev_);
  }
  SysfsNode(const SysfsNode&) = delete;
  SysfsNode& operator=(const SysfsNode&) = delete;

  bool Found() const { return dev_ != nullptr; }
  udev_device* Hid() const { return dev_ ? udev_device_get_parent_with_subsystem_devtype(dev_, "hid", nullptr) : nullptr; }
  udev_device* Usb() const {
    return dev_ ? udev_device_get_parent_with_subsystem_devtype(dev_, "usb", "usb_device") : nullptr;
  }

 private:
  struct udev* udev_;
  udev_device* dev_ = nullptr;
};

std::string Text(const char* s) { return s ? s : ""; }

bool ParseHex(const std::string& s, unsigned long& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  out = std::strtoul(s.c_str(), &end, 16);
  return end && (*end == '\0' || *end == '\n');
}

std::vector<uint8_t> SysfsDescriptor(const SysfsNode& node) {
  std::vector<uint8_t> bytes;
  udev_device* hid = node.Hid();
  if (!hid) return bytes;
  std::ifstream in(Text(udev_device_get_syspath(hid)) + "/report_descriptor", std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return bytes;
}

std::vector<uint8_t> IoctlDescriptor(int fd) {
  int size = 0;
  if (ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0 || size <= 0) return {};
  hidraw_report_descriptor desc{};
  desc.size = static_cast<__u32>(std::min(size, HID_MAX_DESCRIPTOR_SIZE));
  if (ioctl(fd, HIDIOCGRDESC, &desc) < 0) return {};
  return std::vector<uint8_t>(desc.value, desc.value + desc.size);
}

class LinuxHidHandle final : public THidHandle {
 public:
  // fd < 0: query-only.
  LinuxHidHandle(std::string path, int fd) : path_(std::move(path)), fd_(fd) {
    if (fd_ >= 0) {
      cancelFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
      lengths_ = ParseReportLengths(IoctlDescriptor(fd_));
    }
  }
  ~LinuxHidHandle() override {
    if (cancelFd_ >= 0) close(cancelFd_);
    if (fd_ >= 0) close(fd_);
  }
  LinuxHidHandle(const LinuxHidHandle&) = delete;
  LinuxHidHandle& operator=(const LinuxHidHandle&) = delete;

  bool Attributes(THidAttributes& out) override {
    SysfsNode node(path_);
    out = {};
    if (fd_ >= 0) {
      hidraw_devinfo info{};
      if (ioctl(fd_, HIDIOCGRAWINFO, &info) < 0) return Fail(errno);
      out.vendorId = static_cast<uint16_t>(info.vendor);
      out.productId = static_cast<uint16_t>(info.product);
    } else {
      // HID_ID is BUS:VVVVVVVV:PPPPPPPP.
      udev_device* hid = node.Hid();
      const std::string id = hid ? Text(udev_device_get_property_value(hid, "HID_ID")) : "";
      unsigned bus = 0, vendor = 0, product = 0;
      if (std::sscanf(id.c_str(), "%x:%x:%x", &bus, &vendor, &product) != 3) return Fail(ENODEV);
      out.vendorId = static_cast<uint16_t>(vendor);
      out.productId = static_cast<uint16_t>(product);
    }
    unsigned long version = 0;
    if (udev_device* usb = node.Usb(); usb && ParseHex(Text(udev_device_get_sysattr_value(usb, "bcdDevice")), version))
      out.versionNumber = static_cast<uint16_t>(version);
    return true;
  }

  bool ProductString(std::string& out) override {
    SysfsNode node(path_);
    if (!node.Found()) return Fail(ENODEV);
    if (udev_device* usb = node.Usb()) {
      if (const char* product = udev_device_get_sysattr_value(usb, "product")) {
        out = product;
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return true;
      }
    }
    udev_device* hid = node.Hid();
    out = hid ? Text(udev_device_get_property_value(hid, "HID_NAME")) : "";
    return true;
  }

  bool Caps(THidCaps& out) override {
    out = {};
    THidReportLengths lengths = lengths_;
    if (fd_ < 0) {
      SysfsNode node(path_);
      const auto bytes = SysfsDescriptor(node);
      if (bytes.empty()) return Fail(ENODEV);
      lengths = ParseReportLengths(bytes);
    }
    out.inputReportByteLength = lengths.InputReportByteLength();
    // The panel speaks in report 1; a device with other numbered reports
    // besides must not get report 1 padded to the largest of them.
    out.outputReportByteLength = lengths.OutputReportByteLengthOf(1);
    out.featureReportByteLength = lengths.FeatureReportByteLength();
    return true;
  }

  bool Write(const uint8_t* data, std::size_t length, std::size_t& written) override {
    written = 0;
    if (fd_ < 0) return Fail(EBADF);
    const ssize_t n = write(fd_, data, length);
    if (n < 0) return Fail(errno);
    written = static_cast<std::size_t>(n);
    return true;
  }

  THidReadResult Read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
    if (fd_ < 0) return {THidReadStatus::Failed, 0, EBADF};
    pollfd fds[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
    const int ready = poll(fds, cancelFd_ >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0) {
      if (errno == EINTR) return {THidReadStatus::TimedOut, 0, 0};
      return {THidReadStatus::Failed, 0, static_cast<uint32_t>(errno)};
    }
    if (ready == 0) return {THidReadStatus::TimedOut, 0, 0};
    if (cancelFd_ >= 0 && (fds[1].revents & POLLIN)) {
      eventfd_t ignored;
      eventfd_read(cancelFd_, &ignored);
      return {THidReadStatus::Cancelled, 0, 0};
    }
    // Reports still queued when the device goes are read first.
    if (!(fds[0].revents & POLLIN) && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
      return {THidReadStatus::Failed, 0, ENODEV};
    }
    // Unnumbered reports arrive without an ID byte; callers always get one.
    const std::size_t offset = lengths_.usesReportIds ? 0 : 1;
    if (length <= offset) return {THidReadStatus::Data, 0, 0};
    const ssize_t n = read(fd_, buffer + offset, length - offset);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) return {THidReadStatus::TimedOut, 0, 0};
      return {THidReadStatus::Failed, 0, static_cast<uint32_t>(errno)};
    }
    if (n == 0) return {THidReadStatus::Data, 0, 0};
    if (offset) buffer[0] = 0;
    return {THidReadStatus::Data, static_cast<std::size_t>(n) + offset, 0};
  }

  void CancelRead() override {
    if (cancelFd_ >= 0) eventfd_write(cancelFd_, 1);
  }

  uint32_t LastError() const override { return lastError_; }

 private:
  static THidReportLengths ParseReportLengths(const std::vector<uint8_t>& bytes) {
    return zarvex::hid::ParseReportLengths(bytes.data(), bytes.size());
  }
  bool Fail(int error) {
    lastError_ = static_cast<uint32_t>(error);
    return false;
  }

  std::string path_;
  int fd_;
  int cancelFd_ = -1;
  THidReportLengths lengths_;
  uint32_t lastError_ = 0;
};

}  // namespace

LinuxHidPlatform::LinuxHidPlatform() : udev_(udev_new()) {}

LinuxHidPlatform::~LinuxHidPlatform() {
  UnwatchChanges();
  if (udev_) udev_unref(udev_);
}

std::vector<THidInterface> LinuxHidPlatform::PresentInterfaces() {
  std::vector<THidInterface> result;
  if (!udev_) return result;
  udev_enumerate* e = udev_enumerate_new(udev_);
  if (!e) return result;
  udev_enumerate_add_match_subsystem(e, "hidraw");
  // With the udev daemon running, a node it has not finished with yet may
  // still lack its permissions: it is listed once udev is done with it.
  struct stat st {};
  if (stat("/run/udev/control", &st) == 0) udev_enumerate_add_match_is_initialized(e);
  udev_enumerate_scan_devices(e);
  udev_list_entry* entry;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
    udev_device* dev = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
    if (!dev) continue;
    const char* node = udev_device_get_devnode(dev);
    if (node) {
      udev_device* hid = udev_device_get_parent_with_subsystem_devtype(dev, "hid", nullptr);
      // Without a HID parent the node name is the best identity there is.
      std::string instance = hid ? Text(udev_device_get_sysname(hid)) : std::string(node);
      result.push_back({node, std::move(instance)});
    }
    udev_device_unref(dev);
  }
  udev_enumerate_unref(e);
  return result;
}

std::unique_ptr<THidHandle> LinuxHidPlatform::Open(const std::string& devicePath, THidAccess access,
                                                   uint32_t& error) {
  error = 0;
  if (access == THidAccess::ReadWrite) {
    const int fd = open(devicePath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      error = static_cast<uint32_t>(errno);
      return nullptr;
    }
    return std::make_unique<LinuxHidHandle>(devicePath, fd);
  }
  struct stat st {};
  if (stat(devicePath.c_str(), &st) != 0) {
    error = static_cast<uint32_t>(errno);
    return nullptr;
  }
  if (!S_ISCHR(st.st_mode)) {
    error = ENODEV;
    return nullptr;
  }
  return std::make_unique<LinuxHidHandle>(devicePath, -1);
}

void LinuxHidPlatform::WatchChanges(THidMainLoop& loop, std::function<void()> onChange) {
  UnwatchChanges();
  loop_ = &loop;
  onChange_ = std::move(onChange);
  if (!udev_) return;
  // Events from the udev daemon come after its rules ran (node permissions
  // set); without a daemon only the kernel's own events exist.
  struct stat st {};
  const char* source = stat("/run/udev/control", &st) == 0 ? "udev" : "kernel";
  monitor_ = udev_monitor_new_from_netlink(udev_, source);
  if (!monitor_) return;
  if (udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0) {
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    return;
  }
  monitorFd_ = udev_monitor_get_fd(monitor_);
  loop_->WatchReadable(monitorFd_, [this] { Drain(); });
}

void LinuxHidPlatform::Drain() {
  // Several events in one go end in one scan.
  bool any = false;
  while (udev_device* dev = udev_monitor_receive_device(monitor_)) {
    udev_device_unref(dev);
    any = true;
  }
  if (any && onChange_) onChange_();
}

namespace {

class LinuxHidClaim final : public THidClaim {
 public:
  explicit LinuxHidClaim(int fd) : fd_(fd) {}
  ~LinuxHidClaim() override { close(fd_); }  // closing drops the lock
  LinuxHidClaim(const LinuxHidClaim&) = delete;
  LinuxHidClaim& operator=(const LinuxHidClaim&) = delete;

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<THidClaim> LinuxHidPlatform::Claim(const std::string& devicePath, uint32_t& error) {
  // flock belongs to the open file, so a second open in this same program
  // is refused too, as another program's is.
  const int fd = open(devicePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = static_cast<uint32_t>(errno);
    return nullptr;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error = static_cast<uint32_t>(errno == EWOULDBLOCK ? EBUSY : errno);
    close(fd);
    return nullptr;
  }
  error = 0;
  return std::make_unique<LinuxHidClaim>(fd);
}

THidErrorKind LinuxHidPlatform::ClassifyError(uint32_t error) const { return ClassifyErrno(error); }
uint32_t LinuxHidPlatform::ErrorCode(THidErrorKind kind) const { return ErrnoOfKind(kind); }

void LinuxHidPlatform::UnwatchChanges() {
  if (monitor_) {
    if (loop_) loop_->Unwatch(monitorFd_);
    udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    monitorFd_ = -1;
  }
  loop_ = nullptr;
  onChange_ = nullptr;
}

}  // namespace zarvex::hid
