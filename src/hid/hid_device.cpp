#include "hid/hid_device.h"


#include "hid/controller_error.h"
#include "hid/hid_device_controller.h"
#include "hid/hid_device_read_thread.h"

namespace zarvex::hid {

namespace {
std::atomic<uint64_t> nextSerial{1};
}

THidDevice::THidDevice(THidDeviceController* controller, THidPlatform& platform, THidMainLoop& loop,
                       THidInterface pnpInfo)
    : controller_(controller), platform_(platform), loop_(loop), pnpInfo_(std::move(pnpInfo)),
      serial_(nextSerial++) {
  uint32_t error = 0;
  mainHandle_ = platform_.Open(pnpInfo_.devicePath, THidAccess::ReadWrite, error);
  readWriteAccess_ = static_cast<bool>(mainHandle_);
  openError_ = error;
  if (!mainHandle_) mainHandle_ = platform_.Open(pnpInfo_.devicePath, THidAccess::QueryOnly, error);
  if (!mainHandle_) throw EControllerError("device cannot be opened");
  if (!mainHandle_->Attributes(attributes_)) {
    mainHandle_.reset();
    throw EControllerError("device cannot be identified");
  }
  mainHandle_.reset();
}

THidDevice::~THidDevice() {
  // Destruction is the check-in.
  DataSlot data = dataHandler_;
  PlugSlot unplug = unplugHandler_;
  SetDataHandlerSlot(nullptr);  // stops the reading thread
  unplugHandler_.reset();
  CloseHandles();
  claim_.reset();  // before the replacement is made at check-in
  if (controller_) controller_->CheckIn(*this, std::move(data), std::move(unplug));
}

std::string THidDevice::ProductString() {
  if (!productString_.empty()) return productString_;
  const bool wasOpen = static_cast<bool>(mainHandle_);
  if (!OpenMainHandle()) return productString_;
  std::string text;
  if (mainHandle_->ProductString(text)) {
    if (auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    productString_ = std::move(text);
  }
  if (!wasOpen) CloseMainHandle();
  return productString_;
}

THidCaps THidDevice::ReportCaps() {
  if (!caps_) {
    const bool wasOpen = static_cast<bool>(mainHandle_);
    if (OpenMainHandle()) {
      THidCaps caps;
      if (mainHandle_->Caps(caps)) caps_ = caps;
      if (!wasOpen) CloseMainHandle();
    }
  }
  return caps_.value_or(THidCaps{});
}

bool THidDevice::WriteReport(const uint8_t* buffer, int length, uint32_t& written) {
  written = 0;
  if (!OpenMainHandle()) return false;
  if (!ReadWriteAccess() || length < 0 || (length > 0 && !buffer)) return false;
  std::size_t n = 0;
  const bool ok = mainHandle_->Write(buffer, static_cast<std::size_t>(length), n);
  written = static_cast<uint32_t>(n);
  return ok;
}

bool THidDevice::WriteReport(const uint8_t* buffer, int length) {
  uint32_t written = 0;
  return WriteReport(buffer, length, written);
}

bool THidDevice::OpenMainHandle() {
  if (!plugged_ || !(checkedOut_ || inEvent_)) return static_cast<bool>(mainHandle_);
  if (mainHandle_) return true;
  uint32_t error = 0;
  mainHandle_ = platform_.Open(pnpInfo_.devicePath, THidAccess::ReadWrite, error);
  readWriteAccess_ = static_cast<bool>(mainHandle_);
  if (!claimRefused_) openError_ = error;
  if (!mainHandle_) mainHandle_ = platform_.Open(pnpInfo_.devicePath, THidAccess::QueryOnly, error);
  return static_cast<bool>(mainHandle_);
}

void THidDevice::CloseMainHandle() { mainHandle_.reset(); }

void THidDevice::Claim() {
  if (!readWriteAccess_ || claim_) return;
  uint32_t error = 0;
  claim_ = platform_.Claim(pnpInfo_.devicePath, error);
  if (claim_) return;
  // Not ours to use, whatever the reason the claim failed.
  claimRefused_ = true;
  openError_ = error;
  heldElsewhere_ = platform_.ClassifyError(error) == THidErrorKind::Busy;
}

void THidDevice::CloseReadHandle() {
  std::shared_ptr<THidHandle> handle;
  {
    std::lock_guard lock(readMutex_);
    handle = std::move(readHandle_);
    readHandle_.reset();
  }
  // A read in progress ends; the reading thread drops its reference after.
  if (handle) handle->CancelRead();
}

void THidDevice::CloseHandles() {
  CloseMainHandle();
  CloseReadHandle();
}

void THidDevice::SetReadSleepTime(int ms) {
  if (ms >= 10 && ms <= 10000) readSleepTime_ = ms;
}

void THidDevice::SetDataHandler(THidDataEvent handler) {
  SetDataHandlerSlot(handler ? std::make_shared<const THidDataEvent>(std::move(handler)) : nullptr);
}

void THidDevice::SetDataErrorHandler(THidDataErrorEvent handler) {
  dataErrorHandler_ = handler ? std::make_shared<const THidDataErrorEvent>(std::move(handler)) : nullptr;
}

void THidDevice::SetUnplugHandler(THidPlugEvent handler) {
  unplugHandler_ = handler ? std::make_shared<const THidPlugEvent>(std::move(handler)) : nullptr;
}

void THidDevice::SetDataHandlerSlot(DataSlot handler) {
  if (!handler) StopReading();
  dataHandler_ = std::move(handler);
  StartReading();
}

void THidDevice::StartReading() {
  if (!dataHandler_ || !plugged_ || !checkedOut_ || !ReadWriteAccess() || readThread_) return;
  const uint16_t length = ReportCaps().inputReportByteLength;
  if (length == 0) return;  // a device without input reports has nothing to read
  // The kernel queues a report only for files open when it arrives: open the
  // read handle now, before the holder can send its first request.
  uint32_t error = 0;
  BeginRead(error);
  readThread_ = std::make_unique<THidDeviceReadThread>(*this, loop_, length);
  readThread_->Start();
}

void THidDevice::StopReading() { THidDeviceReadThread::Stop(std::move(readThread_)); }

std::shared_ptr<THidHandle> THidDevice::BeginRead(uint32_t& error) {
  std::lock_guard lock(readMutex_);
  if (!plugged_ || !(checkedOut_ || inEvent_)) {
    error = platform_.ErrorCode(THidErrorKind::Gone);
    return nullptr;
  }
  if (!readHandle_) {
    error = 0;
    readHandle_ = platform_.Open(pnpInfo_.devicePath, THidAccess::ReadWrite, error);
    if (!readHandle_) {
      if (!error) error = platform_.ErrorCode(THidErrorKind::Other);
      return nullptr;
    }
  }
  return readHandle_;
}

void THidDevice::DropReadHandle(const std::shared_ptr<THidHandle>& handle) {
  std::lock_guard lock(readMutex_);
  if (readHandle_ == handle) readHandle_.reset();
}

void THidDevice::CancelRead() {
  std::lock_guard lock(readMutex_);
  if (readHandle_) readHandle_->CancelRead();
}

void THidDevice::MarkUnplugged() {
  // Not plugged first, so the reading thread cannot reopen what is closed here.
  plugged_ = false;
  CloseHandles();
  claim_.reset();
  if (auto handler = unplugHandler_) {
    (*handler)(*this);
  }
  unplugHandler_.reset();
}

}  // namespace zarvex::hid
