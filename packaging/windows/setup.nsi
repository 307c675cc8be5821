; The Windows setup: a per-user install (no administrator rights) into
; %LOCALAPPDATA%\Programs, Start-menu and optional desktop shortcuts, and an uninstaller
; registered under HKCU. Built by scripts/windows with makensis -INPUTCHARSET UTF8 and:
;   /DNAMES=FILE        setup-names.nsh as CMake configured it (name, maker, version)
;   /DSTAGE=DIR         the staged program folder, the same that goes into the zip
;   /DREMOVE_LIST=FILE  the RemoveFiles macro: that folder's files and folders, to uninstall
;   /DOUTFILE=FILE      the setup program to write
Target amd64-unicode
!include "${NAMES}"
!include "${REMOVE_LIST}"
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\shoulu"
!define UNINSTALLER "uninstall.exe"
!define PROGRAM "shoulu.exe"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma
BrandingText "${PRODUCT_NAME} ${VERSION}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT_NAME}"
; An update goes where the installed version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

; The setup's own file properties; there is no copyright line to state.
!pragma warning disable 9100
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=2052 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT_NAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"

!define MUI_ABORTWARNING
; The program's own icon on the setup, the uninstaller, the shortcuts and the uninstall entry.
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Neither removed nor replaced are the files of a program that runs: the one in folder $R0 must
; be closed first.
!macro DefineCheckProgramClosed UN
Function ${UN}CheckProgramClosed
retry:
    IfFileExists "$R0\${PROGRAM}" 0 closed
    ClearErrors
    FileOpen $R1 "$R0\${PROGRAM}" a
    IfErrors 0 +3
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(^Name) 正在运行，请先退出程序，再点“重试”。" \
        /SD IDCANCEL IDRETRY retry
    Abort
    FileClose $R1
closed:
FunctionEnd
!macroend
!insertmacro DefineCheckProgramClosed ""
!insertmacro DefineCheckProgramClosed "un."

Function .onInit
    ReadRegStr $R0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $R0 "" +2
    Call CheckProgramClosed
FunctionEnd

Function un.onInit
    StrCpy $R0 "$INSTDIR"
    Call un.CheckProgramClosed
FunctionEnd

; The version installed before, wherever it is: its own uninstaller removes it, run in place
; (_?=) so that ExecWait really waits for it.
Function RemovePreviousVersion
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $0 "" done
    IfFileExists "$0\${UNINSTALLER}" 0 done
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0'
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
done:
FunctionEnd

Section "${PRODUCT_NAME}" SectionProgram
    SectionIn RO
    Call RemovePreviousVersion
    SetOutPath "$INSTDIR"
    File /r "${STAGE}/*"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ; The shortcuts start the program in its own folder.
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\${PRODUCT_NAME}.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0
SectionEnd

Section "桌面快捷方式" SectionDesktop
    SetOutPath "$INSTDIR"
    CreateShortcut "$DESKTOP\${PRODUCT_NAME}.lnk" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0
SectionEnd

; Last, so that the size counts everything installed.
Section "-Register"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the setup made: the folder goes only if nothing else was put into it.
Section "Uninstall"
    !insertmacro RemoveFiles
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
    Delete "$DESKTOP\${PRODUCT_NAME}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
