; SPDX-FileCopyrightText: 2026 sitepass developers
; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer: the two programs, the README and the licence, a Start-menu entry and an
; uninstaller that removes all of it. makensis -DVERSION=... -DFILES=DIR -DOUTFILE=... sitepass.nsi
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"
!include "x64.nsh"

Name "密码生成器 sitepass ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\sitepass"
InstallDirRegKey HKLM "Software\sitepass" "InstallDir"
RequestExecutionLevel admin
BrandingText "sitepass ${VERSION}"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\sitepass"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${FILES}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "sitepass 需要 64 位的 Windows。"
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "sitepass"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File "${FILES}/sitepass.exe"
    File "${FILES}/sitepass-cli.exe"
    File "${FILES}/README.md"
    File "${FILES}/LICENSE.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\密码生成器.lnk" "$INSTDIR\sitepass.exe"
    WriteRegStr HKLM "Software\sitepass" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "密码生成器 sitepass"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "sitepass developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\sitepass.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\密码生成器.lnk"
    Delete "$INSTDIR\sitepass.exe"
    Delete "$INSTDIR\sitepass-cli.exe"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\sitepass"
SectionEnd
