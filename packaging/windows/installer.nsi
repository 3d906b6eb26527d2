; The Windows installer: per machine into Program Files, a Start-menu entry
; «Настройка Zarvex» that starts in the user's Documents (where zarvex.cfg is
; kept), an entry under Programs and Features, and /S for a silent install.
;   makensis -DVERSION=3.0.8 -DDIST=<folder with the two exe> -DICON=<ico> -DOUTFILE=<setup.exe>
; A 64-bit installer for the 64-bit programs (it also runs under a Wine without
; 32-bit support).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define NAME "Zarvex Settings"
!define MENU_NAME "Настройка Zarvex"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZarvexSettings"

Name "${MENU_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
Icon "${ICON}"
UninstallIcon "${ICON}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${MENU_NAME}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Zarvex Settings developers"

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
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; The shortcut's working folder is the user's own Documents, never Program
  ; Files: the program keeps zarvex.cfg in its current folder.
  StrCpy $OUTDIR "%USERPROFILE%\Documents"
  CreateShortCut "$SMPROGRAMS\${MENU_NAME}.lnk" "$INSTDIR\zarvex-settings.exe"
  SetOutPath "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${MENU_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Zarvex Settings developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zarvex-settings.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${MENU_NAME}.lnk"
  Delete "$INSTDIR\zarvex-settings.exe"
  Delete "$INSTDIR\zarvex-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
