; The Windows installer: the programs of the zip's folder in Program Files, Start-menu entries that
; start the program in a folder every user can write (its log and session files land in the
; working folder), and an uninstaller that Windows lists under installed programs. /S installs
; and uninstalls silently. Built by packaging/windows/make-installer, which defines:
;   VERSION   the program's version (1.7)
;   SOURCE    the folder the zip holds (build-win/Tolvex_Client-1.7-win64)
;   FILES     an include file removing exactly what SOURCE holds, for the uninstaller
;   OUTFILE   the installer to write
; A 64-bit installer for a 64-bit program: no file-system or registry redirection.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

!define NAME "Tolvex_Client"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"
; Public Documents: every user of the machine can write there.
!define WORK_DIR "$DOCUMENTS\${NAME}"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
RequestExecutionLevel admin
BrandingText "${NAME} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${NAME}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "${NAME} ${VERSION}: установка"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" ""

!define MUI_ICON "${NSISDIR}\Contrib\Graphics\Icons\modern-install.ico"
!define MUI_UNICON "${NSISDIR}\Contrib\Graphics\Icons\modern-uninstall.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "${NAME} работает только в 64-разрядной Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The shortcuts start the programs in the working folder (the folder set last by SetOutPath).
  CreateDirectory "${WORK_DIR}"
  CreateDirectory "$SMPROGRAMS\${NAME}"
  SetOutPath "${WORK_DIR}"
  CreateShortCut "$SMPROGRAMS\${NAME}\${NAME}.lnk" "$INSTDIR\Tolvex_Client.exe" "" "$INSTDIR\Tolvex_Client.exe" 0
  CreateShortCut "$SMPROGRAMS\${NAME}\${NAME} (демо).lnk" "$INSTDIR\Tolvex_Client_demo.exe" "" "$INSTDIR\Tolvex_Client_demo.exe" 0
  SetOutPath "$INSTDIR"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME} ${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tolvex_Client.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put there: a folder the operator chose may hold other files.
  !include "${FILES}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  Delete "$SMPROGRAMS\${NAME}\${NAME}.lnk"
  Delete "$SMPROGRAMS\${NAME}\${NAME} (демо).lnk"
  RMDir "$SMPROGRAMS\${NAME}"
  ; The working folder goes only when empty: the log and session files in it are the
  ; operator's measurements.
  RMDir "${WORK_DIR}"

  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
