; The Windows installer of the LX40 software: a 64-bit NSIS installer that
; installs for every user of the PC under Program Files, adds a Start menu
; shortcut for Sensorwiz and registers an uninstaller in Add/Remove
; Programs. English or Japanese texts, after the system's language. /S
; installs and uninstalls silently. PATH is left alone.
;
; Built by scripts/package-real, which passes:
;   VERSION   the project's version (x.y.z)
;   OUTFILE   the installer to write
;   STAGING   the folder with the files to ship, laid out as installed
;   FILES_NSH the install and remove steps made from packaging/files.txt
; makensis -INPUTCHARSET UTF8 reads this file.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!macro LX40_REQUIRE symbol
  !ifndef ${symbol}
    !error "makensis -D${symbol}=... is missing (scripts/package-real passes it)"
  !endif
!macroend
!insertmacro LX40_REQUIRE VERSION
!insertmacro LX40_REQUIRE OUTFILE
!insertmacro LX40_REQUIRE STAGING
!insertmacro LX40_REQUIRE FILES_NSH

!define PRODUCT "Vantor LX40"
!define PUBLISHER "Vantor Photonics"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantor LX40"
!define SHORTCUT "$SMPROGRAMS\Vantor LX40 Sensor Data Setup.lnk"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "${FILES_NSH}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A folder chosen earlier is offered again on an update.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) ${PUBLISHER}. All rights reserved."

; Paths are relative to this file's folder (makensis works from there).
!define MUI_ICON "../wizard/resources/sensorwiz.ico"
!define MUI_UNICON "../wizard/resources/sensorwiz.ico"
!define MUI_FINISHPAGE_NOAUTOCLOSE

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used when the system's is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

; Every text of the pages comes from the two languages' tables; a 64-bit
; installer does not start on 32-bit Windows at all, so nothing here asks.
Function .onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Install"
  !insertmacro LX40_INSTALL_FILES
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\Sensorwiz.exe"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Sensorwiz.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what was installed is removed: files the user put into the folder
; keep it (and themselves) in place.
Section "Uninstall"
  Delete "${SHORTCUT}"
  !insertmacro LX40_REMOVE_FILES
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
