#include "hid/windows/windows_hid_platform.h"

// windows.h first: the others build on its types.
#include <windows.h>
#include <dbt.h>
// mingw-w64's HID headers declare no C linkage of their own.
extern "C" {
#include <hidsdi.h>  // brings hidusage.h and hidpi.h in their order
}
#include <setupapi.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "hid/hid_main_loop.h"
#include "hid/plug_counter.h"
#include "windows/utf16.h"

namespace zarvex::hid {

namespace {

using windows::Utf8;
using windows::Wide;

// A write that a wedged device never completes must not hold the window.
constexpr DWORD kWriteTimeoutMs = 1000;

// Some Windows 10 builds return a broken string when given 127 characters
// or more; USB strings hold at most 126.
constexpr std::size_t kProductStringChars = 126;

GUID HidClass() {
  GUID guid;
  HidD_GetHidGuid(&guid);
  return guid;
}

class Event {
 public:
  explicit Event(bool manualReset) : h_(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {}
  ~Event() {
    if (h_) CloseHandle(h_);
  }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

class WindowsHidHandle final : public THidHandle {
 public:
  WindowsHidHandle(HANDLE h, bool readWrite) : h_(h), readWrite_(readWrite) {
    THidCaps caps;
    if (Caps(caps)) pending_.resize(std::max<size_t>(caps.inputReportByteLength, 1));
  }

  ~WindowsHidHandle() override {
    // No read may still write into our buffer once the handle is gone.
    EndPendingRead();
    CloseHandle(h_);
  }

  void EndPendingRead() override {
    if (!reading_) return;
    CancelIoEx(h_, &readOverlapped_);
    DWORD ignored = 0;
    GetOverlappedResult(h_, &readOverlapped_, &ignored, TRUE);
    reading_ = false;
  }

  bool Attributes(THidAttributes& out) override {
    HIDD_ATTRIBUTES a{};
    a.Size = sizeof a;
    if (!HidD_GetAttributes(h_, &a)) return Fail(GetLastError());
    out = {a.VendorID, a.ProductID, a.VersionNumber};
    return true;
  }

  bool ProductString(std::string& out) override {
    wchar_t text[kProductStringChars + 1] = {};  // one more: always terminated
    if (!HidD_GetProductString(h_, text, kProductStringChars * sizeof(wchar_t))) return Fail(GetLastError());
    out = Utf8(text);
    return true;
  }

  bool Caps(THidCaps& out) override {
    PHIDP_PREPARSED_DATA data = nullptr;
    if (!HidD_GetPreparsedData(h_, &data)) return Fail(GetLastError());
    HIDP_CAPS caps{};
    const NTSTATUS status = HidP_GetCaps(data, &caps);
    HidD_FreePreparsedData(data);
    if (status != HIDP_STATUS_SUCCESS) return Fail(ERROR_INVALID_DATA);
    out = {caps.InputReportByteLength, caps.OutputReportByteLength, caps.FeatureReportByteLength};
    return true;
  }

  bool Write(const uint8_t* data, std::size_t length, std::size_t& written) override {
    written = 0;
    if (!readWrite_) return Fail(ERROR_ACCESS_DENIED);
    OVERLAPPED ov{};
    ov.hEvent = writeEvent_.get();
    DWORD n = 0;
    // On an overlapped handle the count comes from GetOverlappedResult, also
    // when the call completes at once.
    if (!WriteFile(h_, data, static_cast<DWORD>(length), nullptr, &ov)) {
      const DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) return Fail(error);
      if (WaitForSingleObject(ov.hEvent, kWriteTimeoutMs) != WAIT_OBJECT_0) {
        CancelIoEx(h_, &ov);
        GetOverlappedResult(h_, &ov, &n, TRUE);
        return Fail(ERROR_TIMEOUT);
      }
    }
    if (!GetOverlappedResult(h_, &ov, &n, FALSE)) return Fail(GetLastError());
    // A HID write is whole or nothing; Wine counts the report ID out.
    written = length;
    return true;
  }

  THidReadResult Read(uint8_t* buffer, std::size_t length, int timeoutMs) override {
    if (!readWrite_) return {THidReadStatus::Failed, 0, ERROR_ACCESS_DENIED};
    if (!reading_) {
      // The read goes into our own buffer: it may outlast this call.
      readOverlapped_ = OVERLAPPED{};
      readOverlapped_.hEvent = readEvent_.get();
      if (ReadFile(h_, pending_.data(), static_cast<DWORD>(pending_.size()), nullptr, &readOverlapped_)) {
        DWORD n = 0;
        if (!GetOverlappedResult(h_, &readOverlapped_, &n, FALSE)) {
          return {THidReadStatus::Failed, 0, GetLastError()};
        }
        return Take(buffer, length, n);
      }
      const DWORD error = GetLastError();
      if (error != ERROR_IO_PENDING) return {THidReadStatus::Failed, 0, error};
      reading_ = true;
    }
    const HANDLE waits[2] = {readEvent_.get(), cancelEvent_.get()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, static_cast<DWORD>(std::max(timeoutMs, 0)));
    if (woke == WAIT_TIMEOUT) return {THidReadStatus::TimedOut, 0, 0};
    if (woke == WAIT_OBJECT_0 + 1) return {THidReadStatus::Cancelled, 0, 0};
    if (woke != WAIT_OBJECT_0) return {THidReadStatus::Failed, 0, GetLastError()};
    reading_ = false;
    DWORD n = 0;
    if (!GetOverlappedResult(h_, &readOverlapped_, &n, FALSE)) {
      return {THidReadStatus::Failed, 0, GetLastError()};
    }
    return Take(buffer, length, n);
  }

  void CancelRead() override { SetEvent(cancelEvent_.get()); }

  uint32_t LastError() const override { return lastError_; }

 private:
  THidReadResult Take(uint8_t* buffer, std::size_t length, DWORD n) {
    const std::size_t bytes = std::min<std::size_t>(n, length);
    std::copy_n(pending_.begin(), bytes, buffer);
    return {THidReadStatus::Data, bytes, 0};
  }
  bool Fail(DWORD error) {
    lastError_ = error;
    return false;
  }

  HANDLE h_;
  bool readWrite_;
  Event readEvent_{true}, writeEvent_{true};
  Event cancelEvent_{false};  // auto-reset: one cancel ends one wait
  OVERLAPPED readOverlapped_{};
  bool reading_ = false;
  std::vector<uint8_t> pending_;
  uint32_t lastError_ = 0;
};

constexpr UINT kArmLateScan = WM_APP + 1;
constexpr UINT_PTR kLateScanTimer = 1;
constexpr UINT kLateScanMs = 1000;

// The watching thread's window procedure: the platform rides in the window's
// user data.
LRESULT CALLBACK WatchProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DEVICECHANGE && (wparam == DBT_DEVICEARRIVAL || wparam == DBT_DEVICEREMOVECOMPLETE)) {
    auto* header = reinterpret_cast<DEV_BROADCAST_HDR*>(lparam);
    auto* platform = reinterpret_cast<WindowsHidPlatform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (platform && header && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
      auto* iface = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
      platform->DeviceChanged(wparam == DBT_DEVICEARRIVAL, Utf8(iface->dbcc_name));
    }
    return TRUE;
  }
  if (message == kArmLateScan) {
    SetTimer(hwnd, kLateScanTimer, kLateScanMs, nullptr);  // restarts a running one
    return 0;
  }
  if (message == WM_TIMER && wparam == kLateScanTimer) {
    KillTimer(hwnd, kLateScanTimer);
    if (auto* platform = reinterpret_cast<WindowsHidPlatform*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
      platform->PostScan();
    }
    return 0;
  }
  if (message == WM_CLOSE) {
    DestroyWindow(hwnd);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

THidErrorKind WindowsHidPlatform::ClassifyError(uint32_t error) const {
  switch (error) {
    case ERROR_SUCCESS:
      return THidErrorKind::None;
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_BAD_COMMAND:
    case ERROR_INVALID_HANDLE:
    case ERROR_DEV_NOT_EXIST:
      return THidErrorKind::Gone;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return THidErrorKind::Denied;
    case ERROR_BUSY:
      return THidErrorKind::Busy;
    case ERROR_TIMEOUT:
    case WAIT_TIMEOUT:
      return THidErrorKind::TimedOut;
    default:
      return THidErrorKind::Other;
  }
}

uint32_t WindowsHidPlatform::ErrorCode(THidErrorKind kind) const {
  switch (kind) {
    case THidErrorKind::None: return ERROR_SUCCESS;
    case THidErrorKind::Gone: return ERROR_DEVICE_NOT_CONNECTED;
    case THidErrorKind::Denied: return ERROR_ACCESS_DENIED;
    case THidErrorKind::Busy: return ERROR_BUSY;
    case THidErrorKind::TimedOut: return ERROR_TIMEOUT;
    case THidErrorKind::Other: break;
  }
  return ERROR_GEN_FAILURE;
}

namespace {

class WindowsHidClaim final : public THidClaim {
 public:
  explicit WindowsHidClaim(HANDLE mutex) : mutex_(mutex) {}
  ~WindowsHidClaim() override { CloseHandle(mutex_); }
  WindowsHidClaim(const WindowsHidClaim&) = delete;
  WindowsHidClaim& operator=(const WindowsHidClaim&) = delete;

 private:
  HANDLE mutex_;
};

}  // namespace

std::string ClaimMutexName(const std::string& devicePath) {
  // A kernel object name may not hold a backslash, and paths run long: a
  // 64-bit FNV-1a of the lower-cased path names it. Global, so a second
  // user's session on the same machine is refused too.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : LowerCasePath(devicePath)) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char hex[17];
  for (int i = 15; i >= 0; --i, hash >>= 4) hex[i] = "0123456789abcdef"[hash & 15];
  hex[16] = '\0';
  return std::string("Global\\ZarvexSettingsPanel-") + hex;
}

std::unique_ptr<THidClaim> WindowsHidPlatform::Claim(const std::string& devicePath, uint32_t& error) {
  // The named object's existence is the claim: it needs no owning thread
  // and ends with the last handle, or with the process.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, Wide(ClaimMutexName(devicePath)).c_str());
  const DWORD created = GetLastError();
  if (mutex && created != ERROR_ALREADY_EXISTS) {
    error = 0;
    return std::make_unique<WindowsHidClaim>(mutex);
  }
  if (mutex) CloseHandle(mutex);
  // Denied: it exists, made by another user's program.
  error = (!mutex && created != ERROR_ACCESS_DENIED) ? created : ERROR_BUSY;
  return nullptr;
}

WindowsHidPlatform::WindowsHidPlatform() = default;

WindowsHidPlatform::~WindowsHidPlatform() { UnwatchChanges(); }

std::vector<THidInterface> WindowsHidPlatform::PresentInterfaces() {
  std::vector<std::string> paths;
  const GUID hid = HidClass();
  HDEVINFO set = SetupDiGetClassDevsW(&hid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set != INVALID_HANDLE_VALUE) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &hid, i, &data); ++i) {
      DWORD size = 0;
      SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
      if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
      std::vector<unsigned char> storage(size);
      auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
      if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, nullptr)) {
        paths.push_back(Utf8(detail->DevicePath));
      }
    }
    SetupDiDestroyDeviceInfoList(set);
  }

  std::vector<std::string> instances;
  {
    std::lock_guard lock(mutex_);
    instances = plugs_.Listed(paths);
  }
  std::vector<THidInterface> result;
  for (size_t i = 0; i < paths.size(); ++i) result.push_back({paths[i], instances[i]});
  return result;
}

std::unique_ptr<THidHandle> WindowsHidPlatform::Open(const std::string& devicePath, THidAccess access,
                                                     uint32_t& error) {
  error = 0;
  const DWORD rights = access == THidAccess::ReadWrite ? GENERIC_READ | GENERIC_WRITE : 0;
  HANDLE h = CreateFileW(Wide(devicePath).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return nullptr;
  }
  return std::make_unique<WindowsHidHandle>(h, access == THidAccess::ReadWrite);
}

void WindowsHidPlatform::DeviceChanged(bool arrived, const std::string& devicePath) {
  if (!arrived) {
    std::lock_guard lock(mutex_);
    plugs_.Removed(devicePath);
  }
  if (HWND hwnd = static_cast<HWND>(window_.load())) PostMessageW(hwnd, kArmLateScan, 0, 0);
  PostScan();
}

void WindowsHidPlatform::PostScan() {
  // Many messages in a burst end in one scan.
  const std::shared_ptr<Watcher> watcher = watch_;
  if (!loop_ || !watcher || watcher->posted.exchange(true)) return;
  std::weak_ptr<Watcher> target = watcher;
  loop_->Post([target] {
    const auto watcher = target.lock();
    if (!watcher) return;
    watcher->posted = false;
    if (watcher->onChange) watcher->onChange();
  });
}

void WindowsHidPlatform::WatchChanges(THidMainLoop& loop, std::function<void()> onChange) {
  UnwatchChanges();
  loop_ = &loop;
  watch_ = std::make_shared<Watcher>();
  watch_->onChange = std::move(onChange);
  auto ended = std::make_shared<std::atomic<bool>>(false);
  watcher_ = std::thread([this, ended] {
    Watch();
    *ended = true;
  });
  // Registered before we return, so no plug after this call is missed.
  while (!*ended && !window_) Sleep(1);
}

void WindowsHidPlatform::Watch() {
  static const wchar_t* const kClass = L"ZarvexHidWatch";
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = WatchProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassExW(&wc);  // fails harmlessly when already registered
  HWND hwnd = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = HidClass();
  HDEVNOTIFY notify = RegisterDeviceNotificationW(hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  window_ = hwnd;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (notify) UnregisterDeviceNotification(notify);
}

void WindowsHidPlatform::UnwatchChanges() {
  if (watcher_.joinable()) {
    if (HWND hwnd = static_cast<HWND>(window_.load())) PostMessageW(hwnd, WM_CLOSE, 0, 0);
    watcher_.join();
  }
  window_ = nullptr;
  watch_.reset();
  loop_ = nullptr;
}

}  // namespace zarvex::hid
