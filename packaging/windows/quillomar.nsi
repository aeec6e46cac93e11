; The Windows installer: Quillomar for the current user, without administrator rights.
;
;   makensis -DVERSION=1.0.0.0 -DSTAGE=folder -DICON=quillomar.ico -DOUTFILE=setup.exe quillomar.nsi
;
; STAGE holds the files installed as they are (quillomar.exe, quillomar-cli.exe, README.txt,
; LICENSE.txt). The installer copies them to %LOCALAPPDATA%\Programs\Quillomar, adds a Start-menu
; shortcut, makes .pod files open with quillomar.exe and registers its uninstaller, all under
; HKEY_CURRENT_USER. /S installs and uninstalls silently.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Quillomar"
!define PUBLISHER "The Quillomar developers"
!define PROGID "Quillomar.PodArchive"
!define CLASSES "Software\Classes"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillomar"
; The .pod key's default value before the installer named its own ProgID, when it named another
; program's: the uninstaller gives .pod back to that program.
!define PREVIOUS_PROGID "PreviousPodProgId"
; SHChangeNotify's SHCNE_ASSOCCHANGED: Explorer reloads the associations.
!define SHCNE_ASSOCCHANGED 0x08000000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillomar"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${STAGE}\LICENSE.txt"

Section "Quillomar"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${STAGE}\quillomar.exe"
  File "${STAGE}\quillomar-cli.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Quillomar.lnk" "$INSTDIR\quillomar.exe" "" "$INSTDIR\quillomar.exe" 0

  ; .pod opens with quillomar.exe. A default value naming another program's ProgID is kept in the
  ; uninstaller's key first; one kept by an earlier install of ours stays as it is.
  ReadRegStr $0 HKCU "${CLASSES}\.pod" ""
  ${If} $0 != ""
  ${AndIf} $0 != "${PROGID}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "${PREVIOUS_PROGID}" "$0"
  ${EndIf}
  WriteRegStr HKCU "${CLASSES}\.pod" "" "${PROGID}"
  WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "POD archive"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\quillomar.exe",-207'
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\quillomar.exe" "%1"'

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\quillomar.exe",-207'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In kilobytes, as the list of installed programs shows it.
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $1

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$INSTDIR\quillomar.exe"
  Delete "$INSTDIR\quillomar-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: a file the user put there stays, with its folder.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Quillomar.lnk"

  ; .pod goes back to the program it named before; when it named none, its default value goes. A
  ; .pod that another program took over since is left to it.
  ReadRegStr $0 HKCU "${CLASSES}\.pod" ""
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "${PREVIOUS_PROGID}"
  ${If} $0 == "${PROGID}"
    ${If} $1 != ""
      WriteRegStr HKCU "${CLASSES}\.pod" "" "$1"
    ${Else}
      DeleteRegValue HKCU "${CLASSES}\.pod" ""
    ${EndIf}
  ${EndIf}
  ; The .pod key itself goes only when nothing is left in it: no default value, no other value
  ; (whose name EnumRegValue would give; the default value's name is empty) and no subkey.
  ReadRegStr $2 HKCU "${CLASSES}\.pod" ""
  EnumRegValue $3 HKCU "${CLASSES}\.pod" 0
  EnumRegKey $4 HKCU "${CLASSES}\.pod" 0
  ${If} $2 == ""
  ${AndIf} $3 == ""
  ${AndIf} $4 == ""
    DeleteRegKey HKCU "${CLASSES}\.pod"
  ${EndIf}
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  System::Call 'shell32::SHChangeNotify(i ${SHCNE_ASSOCCHANGED}, i 0, p 0, p 0)'
SectionEnd
