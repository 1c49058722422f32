; tarvell.nsi - the Windows installer: the programs into Program Files, a Start-menu folder, and an
; uninstaller that removes only what it installed (the user's records, books, logs and keep copies
; live in %APPDATA%\Tarvell and stay). Built by scripts/package-windows.sh:
;   makensis -DVERSION=... -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> tarvell.nsi
Unicode true
; A 64-bit stub: the default 32-bit one installs nothing under a 64-bit Wine prefix yet reports success.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

Name "Tarvell ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Tarvell"
InstallDirRegKey HKLM "Software\Tarvell" "InstallDir"
RequestExecutionLevel admin
BrandingText "Tarvell ${VERSION}"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarvell"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\copyright.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Tarvell"
  SetOutPath "$INSTDIR"
  File "${STAGE}\tarvell.exe"
  File "${STAGE}\tarvell-batch.exe"
  File "${STAGE}\tarvell-config.exe"
  File "${STAGE}\copyright.txt"
  File "${STAGE}\README.txt"
  SetOutPath "$INSTDIR\manual"
  File /r "${STAGE}\manual\*.*"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "Software\Tarvell" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "Tarvell"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "Tarvell Project"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1

  ; The window, then the two console programs: for them the Start menu opens a command prompt in
  ; their folder, beside the manual.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Tarvell"
  CreateShortcut "$SMPROGRAMS\Tarvell\Tarvell.lnk" "$INSTDIR\tarvell.exe"
  CreateShortcut "$SMPROGRAMS\Tarvell\Tarvell コマンド プロンプト.lnk" "$SYSDIR\cmd.exe" \
    '/k "cd /d "$INSTDIR" && tarvell-config.exe --help"' "$SYSDIR\cmd.exe" 0
  CreateShortcut "$SMPROGRAMS\Tarvell\Tarvell マニュアル.lnk" "$INSTDIR\manual\index.html"
  CreateShortcut "$SMPROGRAMS\Tarvell\Tarvell のアンインストール.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\tarvell.exe"
  Delete "$INSTDIR\tarvell-batch.exe"
  Delete "$INSTDIR\tarvell-config.exe"
  Delete "$INSTDIR\copyright.txt"
  Delete "$INSTDIR\README.txt"
  RMDir /r "$INSTDIR\manual"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: files a user left there are kept.
  RMDir "$INSTDIR"
  SetShellVarContext all
  RMDir /r "$SMPROGRAMS\Tarvell"
  DeleteRegKey HKLM "${UNINST_KEY}"
  DeleteRegKey HKLM "Software\Tarvell"
SectionEnd
