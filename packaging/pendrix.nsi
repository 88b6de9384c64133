; Pendrix installer: a per-user install, without administrator rights, of
; the agent, the configuration library and the Control Panel applet.
; Built by the "dist" target:  makensis -DBINDIR=... -DOUTFILE=... -DICON=...

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include "LogicLib.nsh"
!include "WinMessages.nsh"

!define PRODUCT "Pendrix"
!define VERSION "1.2.0.0"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pendrix"
!define CPLS_KEY "Software\Microsoft\Windows\CurrentVersion\Control Panel\Cpls"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define STORE_KEY "Software\Ostrand\Fennock\Pendrix"
!define APP_PATHS_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\pendrix.exe"
!define ID_TRAY_EXIT 32782
!define ENVIRONMENT_KEY "Environment"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\Pendrix"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Ostrand"
VIAddVersionKey "FileDescription" "Pendrix setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) Ostrand"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Ends a running agent through its own Exit command and waits until it is
; gone, for five seconds at most: an agent that does not end must not hold
; the installer forever.
!macro STOP_AGENT
    FindWindow $0 "PendrixOstrand" ""
    ${If} $0 <> 0
        SendMessage $0 ${WM_COMMAND} ${ID_TRAY_EXIT} 0 /TIMEOUT=5000
        StrCpy $1 0
        ${DoWhile} $1 < 50
            Sleep 100
            FindWindow $0 "PendrixOstrand" ""
            ${If} $0 = 0
                ${ExitDo}
            ${EndIf}
            IntOp $1 $1 + 1
        ${Loop}
    ${EndIf}
!macroend

; Tells running programs (Explorer, so every console it starts) that the
; user's environment changed.
!macro ANNOUNCE_ENVIRONMENT
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

; Adds the install folder to the user's Path once, so that "pendrix" is found
; from any new console, and remembers that it did, for the uninstaller. The
; console tool does the editing: the installer's own strings are too short to
; hold a long Path whole. Exit 0: added; 3: already there; else nothing changed.
Function AddFolderToPath
    nsExec::ExecToLog '"$INSTDIR\pendrix.exe" path add "$INSTDIR"'
    Pop $0
    ${If} $0 == 0
        WriteRegStr HKCU "${UNINSTALL_KEY}" "PathEntry" "$INSTDIR"
        !insertmacro ANNOUNCE_ENVIRONMENT
    ${ElseIf} $0 != 3
        DetailPrint "Your Path was left as it is: add $INSTDIR to it yourself."
    ${EndIf}
FunctionEnd

Section "Install"
    SetShellVarContext current
    !insertmacro STOP_AGENT

    SetOutPath "$INSTDIR"
    File "${BINDIR}/pendrixd.exe"
    File "${BINDIR}/pendrixcfg.dll"
    File "${BINDIR}/pendrixpanel.cpl"
    File "${BINDIR}/pendrix.exe"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The Control Panel shows the applet for this user.
    WriteRegStr HKCU "${CPLS_KEY}" "Pendrix" "$INSTDIR\pendrixpanel.cpl"
    ; Win+R and the shell find the console tool by its name.
    WriteRegStr HKCU "${APP_PATHS_KEY}" "" "$INSTDIR\pendrix.exe"
    WriteRegStr HKCU "${APP_PATHS_KEY}" "Path" "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\Pendrix.lnk" "$INSTDIR\pendrixd.exe" "" "$INSTDIR\pendrixd.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Ostrand"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pendrixd.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    Call AddFolderToPath

    ; The agent's first run writes its Run value. Started by hand it opens
    ; its configuration dialog; a silent install starts it in the tray only.
    ${If} ${Silent}
        Exec '"$INSTDIR\pendrixd.exe" /background'
    ${Else}
        Exec '"$INSTDIR\pendrixd.exe"'
    ${EndIf}
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    !insertmacro STOP_AGENT

    ; Exactly the Path entry the install added, nothing the user put there,
    ; by the console tool before it goes.
    ReadRegStr $3 HKCU "${UNINSTALL_KEY}" "PathEntry"
    ${If} $3 != ""
        nsExec::ExecToLog '"$INSTDIR\pendrix.exe" path remove "$3"'
        Pop $0
        ${If} $0 == 0
            !insertmacro ANNOUNCE_ENVIRONMENT
        ${EndIf}
    ${EndIf}

    Delete "$INSTDIR\pendrixd.exe"
    Delete "$INSTDIR\pendrixcfg.dll"
    Delete "$INSTDIR\pendrixpanel.cpl"
    Delete "$INSTDIR\pendrix.exe"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Pendrix.lnk"

    DeleteRegValue HKCU "${CPLS_KEY}" "Pendrix"
    DeleteRegKey HKCU "${APP_PATHS_KEY}"
    DeleteRegValue HKCU "${RUN_KEY}" "pendrixd"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    ; A silent uninstall keeps the hotkeys.
    MessageBox MB_YESNO|MB_ICONQUESTION "Keep your Pendrix hotkeys for a later installation?" /SD IDYES IDYES keep
        DeleteRegKey HKCU "${STORE_KEY}"
        DeleteRegKey /ifempty HKCU "Software\Ostrand\Fennock"
        DeleteRegKey /ifempty HKCU "Software\Ostrand"
    keep:
SectionEnd
