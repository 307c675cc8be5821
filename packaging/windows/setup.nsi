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
!include "LogicLib.nsh"
!include "WinVer.nsh"
!include "WordFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\shoulu"
!define UNINSTALLER "uninstall.exe"
!define PROGRAM "shoulu.exe"
; A refusal under /S ends the setup or uninstaller with this exit code, nothing touched.
!define REFUSED 2

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
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgramAsUser
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; Qt 6 needs Windows 10: on anything older the program stops before its window opens.
!macro DefineRequireWindows10 UN
Function ${UN}RequireWindows10
    ${IfNot} ${AtLeastWin10}
        MessageBox MB_OK|MB_ICONSTOP "本软件需要 Windows 10 或更高版本。" /SD IDOK
        SetErrorLevel ${REFUSED}
        Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineRequireWindows10 ""
!insertmacro DefineRequireWindows10 "un."

; Neither removed nor replaced are the files of a program that runs. The running program holds
; a mutex of the user's session (any copy of it: one of another folder shares the DLLs' names);
; one another account holds is there too, only not ours to open.
!macro DefineCheckProgramClosed UN
Function ${UN}CheckProgramClosed
retry:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p.R1 ?e'
    Pop $R2
    ${If} $R1 P<> 0
        System::Call 'kernel32::CloseHandle(p R1)'
    ${ElseIf} $R2 <> 5 ; ERROR_ACCESS_DENIED
        Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(^Name) 正在运行，请先退出程序，再点“重试”。" \
        /SD IDCANCEL IDRETRY retry
    SetErrorLevel ${REFUSED}
    Abort
FunctionEnd
!macroend
!insertmacro DefineCheckProgramClosed ""
!insertmacro DefineCheckProgramClosed "un."

; An older setup does not replace a newer installed version; uninstalling that first does it on
; purpose.
Function RefuseDowngrade
    ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $R1 != ""
        ${VersionCompare} "$R1" "${VERSION}" $R2
        ${If} $R2 = 1
            MessageBox MB_OK|MB_ICONEXCLAMATION "已安装的版本 $R1 比本安装程序的版本 ${VERSION} 新，安装已取消。$\r$\n如确要换用旧版本，请先卸载已安装的版本，再运行本安装程序。" \
                /SD IDOK
            SetErrorLevel ${REFUSED}
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

Function .onInit
    Call RequireWindows10
    Call RefuseDowngrade
    Call CheckProgramClosed
FunctionEnd

Function un.onInit
    Call un.RequireWindows10
    Call un.CheckProgramClosed
FunctionEnd

; The version installed before, wherever it is: its own uninstaller removes it, run in place
; (_?=) so that ExecWait really waits for it and its exit code counts. A refusal (the program
; started meanwhile) stops the setup with that version as it was.
Function RemovePreviousVersion
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCmp $0 "" done
    IfFileExists "$0\${UNINSTALLER}" 0 done
    ClearErrors
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 <> 0
        MessageBox MB_OK|MB_ICONSTOP "已安装的版本未能卸载，安装已取消，已安装的版本保持不变。" /SD IDOK
        SetErrorLevel ${REFUSED}
        Abort
    ${EndIf}
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
done:
FunctionEnd

; A setup run as administrator must not hand its rights on: Windows would then block drag and
; drop from Explorer into the program. The shell (explorer.exe, running as the user who is
; logged on) starts it, as a double-click would.
Function RunProgramAsUser
    SetOutPath "$INSTDIR"
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\${PROGRAM}"'
FunctionEnd

Section "${PRODUCT_NAME}" SectionProgram
    SectionIn RO
    ; Again where it matters: the program may have been started while the pages were open.
    Call RefuseDowngrade
    Call CheckProgramClosed
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
    Call un.CheckProgramClosed
    !insertmacro RemoveFiles
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
    Delete "$DESKTOP\${PRODUCT_NAME}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
