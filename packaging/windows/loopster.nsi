; The Windows installer: puts loopster.scr where Windows looks for screen savers, can make it the
; active saver, and registers an uninstaller in the list of installed programs.
;
; Built by packaging/windows/build_windows_packages.sh:
;   makensis -DVERSION=1.0.0 -DSCR=loopster.scr -DLICENSE=LICENSE.txt -DOUTFILE=setup.exe loopster.nsi
;
; Command line of the installer:
;   /S        silent: no pages, no questions; the active saver is left alone unless /ACTIVE is given
;   /ACTIVE   make loopster the active screen saver (the default of the interactive installer)
; and of the uninstaller: /S silent (with _?=DIR it runs in place and returns when done, with its
; exit code; without it, the uninstaller starts a copy of itself from the temporary folder and
; returns at once with 0).
;
; Both refuse with a message and exit code 5 (access denied), changing nothing, while loopster.scr
; is in use (the saver or its settings dialog runs) or its folder cannot be written: a saver left
; behind by an uninstall that reported success could no longer be removed.
;
; Where the saver goes: Windows looks for .scr files in its system folder. A 64-bit Windows keeps
; 32-bit programs such as loopster.scr in SysWOW64, and the control panel lists the 32-bit savers
; found there. This installer is itself 32-bit, so the file system redirection would send $SYSDIR to
; SysWOW64 anyway; the folder is named explicitly instead, so that the path written to the registry
; (read by the 64-bit Windows, which is not redirected) is the file's real path.

; The shipped installer is 32-bit. TARGET=amd64-unicode builds the same installer as a 64-bit
; program, for test machines whose Wine cannot run 32-bit code; it writes the same folders and the
; same registry view as the 32-bit one.
!ifdef TARGET
  Target ${TARGET}
!else
  Unicode true
!endif
SetCompressor /SOLID lzma
; No file time in the installer's data: two builds of the same files give the same bytes.
SetDateSave off
RequestExecutionLevel admin
ManifestSupportedOS all
; Drawn by the system at 150 and 200 % rather than stretched, with the system's current controls.
ManifestDPIAware true
XPStyle on

!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!ifndef VERSION | SCR | LICENSE | OUTFILE
  !error "define VERSION, SCR, LICENSE and OUTFILE"
!endif

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\loopster"
!define DESKTOP_KEY "Control Panel\Desktop"
!define PUBLISHER "The loopster developers"

Name "loopster ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES32\loopster"
ShowInstDetails show
ShowUninstDetails show
BrandingText "loopster ${VERSION}"
; The licence page wraps the text to its own width: each paragraph of the licence goes in as one
; line, so the 80-column breaks of LICENSE do not cut the page's lines in two.
!tempfile LICENSE_PAGE
!system 'python3 "${__FILEDIR__}/licence_page.py" "${LICENSE}" "${LICENSE_PAGE}"' = 0
LicenseData "${LICENSE_PAGE}"
; Relative paths are read from this script's folder.
Icon "../../hosts/win32/loopster.ico"
UninstallIcon "../../hosts/win32/loopster.ico"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "loopster"
VIAddVersionKey /LANG=1033 "FileDescription" "loopster screen saver setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 The loopster developers. MIT License."
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Page license
Page components
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The folder that holds the saver, and the saver's full path.
Var ScrDir
Var ScrPath

!macro FindSaverFolder
  ${If} ${RunningX64}
    StrCpy $ScrDir "$WINDIR\SysWOW64"
  ${Else}
    StrCpy $ScrDir "$SYSDIR"
  ${EndIf}
  StrCpy $ScrPath "$ScrDir\loopster.scr"
!macroend

; Fails with a message and exit code 5 (access denied) when FOLDER cannot take a new file. Runs
; before anything is written or removed, so a refused or cancelled install or uninstall leaves the
; system as it was. DONE is "installed" or "uninstalled", PROGRAM "installer" or "uninstaller".
!macro CheckWritable FOLDER DONE PROGRAM
  ClearErrors
  FileOpen $0 "${FOLDER}\loopster-setup.tmp" w
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "loopster cannot be ${DONE}: this account may not write to \
        ${FOLDER}.$\r$\n$\r$\nRun the ${PROGRAM} as an administrator." /SD IDOK
    SetErrorLevel 5
    Quit
  ${EndIf}
  FileClose $0
  Delete "${FOLDER}\loopster-setup.tmp"
!macroend

; Fails with a message and exit code 5 while the saver or its settings dialog runs: a running
; program's file can be neither replaced nor removed.
!macro CheckNotRunning DONE PROGRAM
  ${If} ${FileExists} "$ScrPath"
    ClearErrors
    FileOpen $0 "$ScrPath" a
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "loopster cannot be ${DONE} while $ScrPath is in use. End the \
          screen saver and close its settings, then run the ${PROGRAM} again." /SD IDOK
      SetErrorLevel 5
      Quit
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

Section "loopster screen saver (required)" SecSaver
  SectionIn RO
  SetOutPath "$ScrDir"
  File "/oname=loopster.scr" "${SCR}"
  SetOutPath "$INSTDIR"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; A newer install writes over an older one: the same files, the same key, the new version.
  ClearErrors
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${IfNot} ${Errors}
    DetailPrint "Replacing loopster $0."
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "loopster screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$ScrPath,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  ${GetSize} "$ScrDir" "/M=loopster.scr /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Make loopster the active screen saver" SecActive
  ; The saver chosen before is kept in the uninstall key, so that removing loopster gives it back.
  ; An update over an install that already made loopster active keeps what was recorded then.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 != $ScrPath
    ClearErrors
    ReadRegStr $1 HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${If} ${Errors}
      StrCpy $1 "<none>"
    ${EndIf}
    ${If} $0 == ""
      StrCpy $0 "<none>"
    ${EndIf}
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver" $0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive" $1
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $ScrPath
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  DetailPrint "loopster is now the active screen saver."
SectionEnd

Function .onInit
  SetRegView 32
  !insertmacro FindSaverFolder
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/ACTIVE" $R1
  ${If} ${Errors}
  ${AndIf} ${Silent}
    !insertmacro UnselectSection ${SecActive}
  ${EndIf}

  !insertmacro CheckWritable "$ScrDir" installed installer
  ; The installer's own folder is made only by the install; until then its parent is tried.
  ${If} ${FileExists} "$INSTDIR\*.*"
    !insertmacro CheckWritable "$INSTDIR" installed installer
  ${Else}
    !insertmacro CheckWritable "$PROGRAMFILES32" installed installer
  ${EndIf}
  ; A saver that is running cannot be replaced; say so rather than fail half way.
  !insertmacro CheckNotRunning installed installer
FunctionEnd

; The same checks before an uninstall, so that it removes everything or nothing.
Function un.onInit
  SetRegView 32
  !insertmacro FindSaverFolder
  !insertmacro CheckWritable "$ScrDir" uninstalled uninstaller
  !insertmacro CheckWritable "$INSTDIR" uninstalled uninstaller
  !insertmacro CheckNotRunning uninstalled uninstaller
FunctionEnd

Section "Uninstall"
  ; The saver first: should it have been started since the checks, nothing else is removed, the
  ; uninstall entry stays, and the uninstall ends as failed (exit code 2).
  Delete "$ScrPath"
  ${If} ${FileExists} "$ScrPath"
    MessageBox MB_OK|MB_ICONSTOP "loopster cannot be uninstalled while $ScrPath is in use. End \
        the screen saver and close its settings, then run the uninstaller again." /SD IDOK
    Abort "$ScrPath is in use."
  ${EndIf}
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"

  ; The active saver goes back to the one chosen before, if loopster is still the active one.
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${If} $0 == $ScrPath
    ClearErrors
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaver"
    ReadRegStr $2 HKLM "${UNINSTALL_KEY}" "PreviousScreenSaveActive"
    ${If} $1 == "<none>"
    ${OrIf} $1 == ""
      DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${Else}
      WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $1
    ${EndIf}
    ${If} $2 == "<none>"
      DeleteRegValue HKCU "${DESKTOP_KEY}" "ScreenSaveActive"
    ${ElseIf} $2 != ""
      WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" $2
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

!delfile "${LICENSE_PAGE}"
