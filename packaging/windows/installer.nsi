; The Windows installer: per machine into Program Files, a Start-menu entry
; «Настройка Zarvex» (the program itself keeps zarvex.cfg in the user's
; Documents when started in its install folder), an entry under Programs and
; Features, and /S for a silent install. Neither the installer nor the
; uninstaller replaces or removes a program that is running.
;   makensis -DVERSION=3.0.8 -DDIST=<folder with the programs, libpq.dll and its licences> -DICON=<ico> -DOUTFILE=<setup.exe>
; libpq.dll (with OpenSSL inside) is named with its licences on a page of its own.
; A 64-bit installer for the 64-bit programs (it also runs under a Wine without
; 32-bit support).
Target amd64-unicode
!include FileFunc.nsh
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define NAME "Zarvex Settings"
!define MENU_NAME "Настройка Zarvex"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZarvexSettings"

Name "${MENU_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
; An update goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${MENU_NAME}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Zarvex Settings developers"

LicenseData "third-party.txt"
LicenseText "Программа использует библиотеки других авторов:" "Далее"
Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${DIST}\zarvex-settings.exe"
  File "${DIST}\zarvex-cli.exe"
  File "${DIST}\libpq.dll"
  File "${DIST}\LICENSE-PostgreSQL.txt"
  File "${DIST}\LICENSE-OpenSSL.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Starts in the install folder, like a double-click; the program then
  ; keeps zarvex.cfg in Documents as Windows knows it (OneDrive included),
  ; which a fixed %USERPROFILE%\Documents here would miss.
  CreateShortCut "$SMPROGRAMS\${MENU_NAME}.lnk" "$INSTDIR\zarvex-settings.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${MENU_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Zarvex Settings developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zarvex-settings.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The programs hold this mutex while they run (src/windows/program_running.h).
!macro REFUSE_WHILE_RUNNING
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\ZarvexSettingsRunning") p .r0'
  IntPtrCmp $0 0 not_running
    System::Call 'kernel32::CloseHandle(p r0)'
    MessageBox MB_OK|MB_ICONSTOP "Программа «${MENU_NAME}» или zarvex-cli сейчас работает. Закройте её и повторите." /SD IDOK
    SetErrorLevel 2  ; a silent install says so in its exit code
    Abort
  not_running:
!macroend

Function .onInit
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Function un.onInit
  !insertmacro REFUSE_WHILE_RUNNING
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${MENU_NAME}.lnk"
  Delete "$INSTDIR\zarvex-settings.exe"
  Delete "$INSTDIR\zarvex-cli.exe"
  Delete "$INSTDIR\libpq.dll"
  Delete "$INSTDIR\LICENSE-PostgreSQL.txt"
  Delete "$INSTDIR\LICENSE-OpenSSL.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
