; The Quorvex setup: puts the program that suits the machine, its updater and help page in Program
; Files, adds a Start menu shortcut for every user and an "Apps and features" entry, and brings an
; uninstaller. It writes no settings and no Run value: the program writes those per user itself.
;
; scripts/release.sh builds it with makensis and these defines:
;   VERSION       the program's version, x.y.z
;   OUTFILE       the setup to write
;   DIR64, DIR32  the folders of the stripped 64-bit and 32-bit quorvex.exe and UpdateQuorvex.exe
;   HELP          the help page
;   HOME_PAGE     the program's home page, for the uninstall entry
;   TARGET_AMD64  (optional) a 64-bit setup; the shipped one is 32-bit so that it runs everywhere
;
; Silent runs (/S) work for both the setup and the uninstaller; the uninstaller keeps the settings
; then.

Unicode true
!ifdef TARGET_AMD64
    Target amd64-unicode
    ; A 64-bit setup knows it runs on 64-bit Windows, and its tests of that have no else branch.
    !pragma warning disable 6012
!endif

!macro REQUIRE_DEFINE NAME
    !ifndef ${NAME}
        !error "makensis needs -D${NAME}=..."
    !endif
!macroend
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE OUTFILE
!insertmacro REQUIRE_DEFINE DIR64
!insertmacro REQUIRE_DEFINE DIR32
!insertmacro REQUIRE_DEFINE HELP
!insertmacro REQUIRE_DEFINE HOME_PAGE

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include Sections.nsh

!define PRODUCT "Quorvex"
!define MAKER "Velnor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\${MAKER}\${PRODUCT}"
; What the running program holds and answers; both carry its window class name.
!define INSTANCE_MUTEX "Local\${PRODUCT} (${MAKER}) instance"
!define EXIT_MESSAGE "${PRODUCT} (${MAKER}) exit"
!define SYNCHRONIZE 0x00100000
!define ERROR_ACCESS_DENIED 5

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
BrandingText "${PRODUCT} ${VERSION}"
ManifestDPIAware true

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${MAKER}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${MAKER}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "${PRODUCT}-${VERSION}-setup.exe"

!define MUI_ICON "../res/Quorvex.ico"
!define MUI_UNICON "../res/Quorvex.ico"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!define MUI_FINISHPAGE_RUN_TEXT "Run ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION RunUnelevated
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_PAGE_CUSTOMFUNCTION_LEAVE SecureInstallFolder
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The 64-bit registry view on 64-bit Windows, so that the 32-bit setup's entry lies where the
; system's own uninstall list looks for 64-bit programs.
!macro USE_NATIVE_REGISTRY_VIEW
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
!macroend

; $0 = 1 while a copy of the program holds its mutex. A copy started by another user than the one
; who elevated setup may deny access to it; it runs all the same.
!macro PROGRAM_IS_RUNNING
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${INSTANCE_MUTEX}") p .r0 ?e'
    Pop $1
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        StrCpy $0 1
    ${ElseIf} $1 = ${ERROR_ACCESS_DENIED}
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
!macroend

; Files in use cannot be replaced or removed: a running copy is asked to end first, by the
; message it answers, and setup goes no further while it stays.
!macro CLOSE_RUNNING_PROGRAM
    !insertmacro PROGRAM_IS_RUNNING
    ${If} $0 = 1
        MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION \
            "${PRODUCT} is running. Choose OK to close it and continue, or Cancel to quit setup." \
            /SD IDOK IDOK +2
        Quit
        System::Call 'user32::RegisterWindowMessageW(w "${EXIT_MESSAGE}") i .r1'
        System::Call 'user32::PostMessageW(p ${HWND_BROADCAST}, i r1, p 0, p 0)'
        ${For} $2 1 40
            Sleep 250
            !insertmacro PROGRAM_IS_RUNNING
            ${IfThen} $0 = 0 ${|} ${ExitFor} ${|}
        ${Next}
        ${If} $0 = 1
            MessageBox MB_OK|MB_ICONSTOP \
                "${PRODUCT} did not close. Close it yourself, then run setup again." /SD IDOK
            SetErrorLevel 2
            Quit
        ${EndIf}
        ; The mutex goes before the process has ended and its file is free.
        Sleep 1000
    ${EndIf}
!macroend

; Every user's Run value starts $INSTDIR\quorvex.exe at logon, so only administrators may change
; the folder, wherever it lies: it gets the permissions of Program Files, by well-known SIDs that
; read the same in every language of Windows. Administrators own it, as its owner could change its
; permissions back. A folder that holds others' files keeps its permissions, which are not setup's
; to take, and is refused like one whose permissions cannot be set. The directory page checks the
; folder so that another can be chosen; the first section checks it again, as silent setups show
; no page.
!macro ICACLS ARGUMENTS
    ${If} $1 == 0
        nsExec::ExecToStack /OEM '"$SYSDIR\icacls.exe" "$INSTDIR" ${ARGUMENTS}'
        Pop $1
        Pop $2
    ${EndIf}
!macroend

Function SecureInstallFolder
    ${DirState} "$INSTDIR" $0
    ${If} $0 = 1
    ${AndIfNot} ${FileExists} "$INSTDIR\quorvex.exe"
        MessageBox MB_OK|MB_ICONSTOP \
            "$INSTDIR holds other files. Choose a new or empty folder for ${PRODUCT}." /SD IDOK
        Abort
    ${EndIf}
    ; A file of that name keeps its permissions too: icacls would change them.
    ClearErrors
    CreateDirectory "$INSTDIR"
    StrCpy $1 0
    ${IfThen} ${Errors} ${|} StrCpy $1 "no folder" ${|}
    StrCpy $2 ""
    !insertmacro ICACLS "/setowner *S-1-5-32-544"
    !insertmacro ICACLS \
        "/inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)F *S-1-5-18:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"
    ${If} $1 != 0
        ${If} $0 = -1
            RMDir "$INSTDIR"
        ${EndIf}
        MessageBox MB_OK|MB_ICONSTOP "Setup cannot make $INSTDIR a folder that only \
            administrators may change ($1).$\r$\n$2$\r$\nChoose another folder." /SD IDOK
        Abort
    ${EndIf}
FunctionEnd

Section "-Installation folder"
    Call SecureInstallFolder
SectionEnd

; Both builds travel in the setup; .onInit keeps the section of the one that suits the machine, so
; that the space the directory page asks for is what the installation takes.
Section "-64-bit program" Section64Bit
    SetOutPath "$INSTDIR"
    File "${DIR64}/quorvex.exe"
    File "${DIR64}/UpdateQuorvex.exe"
SectionEnd

Section "-32-bit program" Section32Bit
    SetOutPath "$INSTDIR"
    File "${DIR32}/quorvex.exe"
    File "${DIR32}/UpdateQuorvex.exe"
SectionEnd

Section "-${PRODUCT}"
    SetOutPath "$INSTDIR"
    File "${HELP}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetShellVarContext all
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\quorvex.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quorvex.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${HOME_PAGE}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
    !insertmacro USE_NATIVE_REGISTRY_VIEW
    ${If} ${RunningX64}
        StrCpy $0 "$PROGRAMFILES64\${PRODUCT}"
        !insertmacro UnselectSection ${Section32Bit}
    ${Else}
        StrCpy $0 "$PROGRAMFILES\${PRODUCT}"
        !insertmacro UnselectSection ${Section64Bit}
    ${EndIf}
    ; /D= comes first, then the folder of an earlier installation, then Program Files.
    ${If} $INSTDIR == ""
        ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${EndIf}
    ${If} $INSTDIR == ""
        StrCpy $INSTDIR $0
    ${EndIf}
    !insertmacro CLOSE_RUNNING_PROGRAM
FunctionEnd

; Setup runs elevated; the program started from the finish page should run as the user who is
; signed in, so the shell starts it.
Function RunUnelevated
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\quorvex.exe"'
FunctionEnd

Function un.onInit
    !insertmacro USE_NATIVE_REGISTRY_VIEW
    !insertmacro CLOSE_RUNNING_PROGRAM
FunctionEnd

; A copy of the program in another user's session gets no close request and keeps its file. The
; uninstaller then stops with its entry in place rather than leave a program that no list shows and
; that users' Run values still start.
!macro DELETE_OR_STOP FILE
    ClearErrors
    Delete "$INSTDIR\${FILE}"
    ${If} ${Errors}
        MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\${FILE} is in use, perhaps by ${PRODUCT} of \
            another signed-in user. Close it there or restart Windows, then uninstall again." \
            /SD IDOK
        Abort
    ${EndIf}
!macroend

Section "un.${PRODUCT}"
    SectionIn RO
    !insertmacro DELETE_OR_STOP quorvex.exe
    !insertmacro DELETE_OR_STOP UpdateQuorvex.exe
    !insertmacro DELETE_OR_STOP quorvex-help.html
    ; Run with _?=, the uninstaller is this file: it stays, and so does its folder.
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; Nothing may start a removed program at logon: the user's entry, and the machine-wide ones
    ; that older versions wrote, in either registry view.
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
    DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
    ${If} ${RunningX64}
        SetRegView 32
        DeleteRegValue HKLM "${RUN_KEY}" "${PRODUCT}"
        SetRegView 64
    ${EndIf}
SectionEnd

Section /o "un.Remove settings"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\${MAKER}"
SectionEnd
