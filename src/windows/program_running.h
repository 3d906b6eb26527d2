#pragma once
// A named mutex that lives as long as a Zarvex program runs, so the
// installer and the uninstaller (packaging/windows/installer.nsi) can refuse
// to replace or remove a program in use. Global: any user's session counts.

#include <windows.h>

namespace zarvex::windows {

inline constexpr const wchar_t* kProgramRunningMutex = L"Global\\ZarvexSettingsRunning";

// The handle is kept until the process ends; many holders may share it.
inline void MarkProgramRunning() { CreateMutexW(nullptr, FALSE, kProgramRunningMutex); }

}  // namespace zarvex::windows
