; The Windows installer, built by scripts/package.sh with Debian's makensis:
;
;   makensis -DVERSION=2.02 -DSTAGE=folder -DFILES=files.nsh -DOUTFILE=setup.exe installer.nsi
;
; STAGE holds the programs and documents; FILES lists them, one `!insertmacro TavelorFile NAME`
; a line, so that what is installed and what the uninstaller removes are one list. A silent
; install (/S) asks nothing: it adds no firewall rule.

!macro Require NAME
  !ifndef ${NAME}
    !error "${NAME} is given on the command line, as scripts/package.sh does"
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require STAGE
!insertmacro Require FILES
!insertmacro Require OUTFILE

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!define PRODUCT "TavelorServer"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define MENU "$SMPROGRAMS\${PRODUCT}"
; The Start menu: the server; the server with the browser panels; everything with the stand-in.
!define SHORTCUT_SERVER "${MENU}\TavelorServer.lnk"
!define SHORTCUT_PANELS "${MENU}\TavelorServer with browser panels.lnk"
!define SHORTCUT_TRY "${MENU}\Try it without a simulator.lnk"
!define SHORTCUT_README "${MENU}\Read me.lnk"
!define SHORTCUT_UNINSTALL "${MENU}\Uninstall TavelorServer.lnk"
!define RULE_PANELS "TavelorServer: panels (TCP 9696)"
!define RULE_WEB "TavelorServer: browser panels (TCP 9080)"

Name "${PRODUCT} ${VERSION}"
; The line under the installer's pages names the product, not the tool that built it.
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin

!include "MUI2.nsh"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the read-me"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; netsh's own words go to the details view; a rule that is not there to delete is no matter.
!macro Firewall ARGUMENTS
  nsExec::ExecToLog '"$SYSDIR\netsh.exe" advfirewall firewall ${ARGUMENTS}'
  Pop $0
!macroend

Section "Install"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  !macro TavelorFile NAME
    File "${STAGE}\${NAME}"
  !macroend
  !include "${FILES}"
  !macroundef TavelorFile
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateDirectory "${MENU}"
  CreateShortcut "${SHORTCUT_SERVER}" "$INSTDIR\TavelorServer.exe"
  CreateShortcut "${SHORTCUT_PANELS}" "$INSTDIR\tavelor-launch.exe"
  CreateShortcut "${SHORTCUT_TRY}" "$INSTDIR\tavelor-launch.exe" "--sim"
  CreateShortcut "${SHORTCUT_README}" "$INSTDIR\README.html"
  CreateShortcut "${SHORTCUT_UNINSTALL}" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The TavelorServer developers"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TavelorServer.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; Panels and tablets on other computers need the two ports open; asked, never assumed.
  MessageBox MB_YESNO|MB_ICONQUESTION "Let panels and tablets on other computers reach TavelorServer?$\r$\n$\r$\nThis adds two Windows Firewall rules for private and work networks (never public ones such as a cafe's): TCP port 9696 for TavelorServer.exe (the panels) and TCP port 9080 for tavelor-web.exe (the browser panels). Without them Windows asks the first time each program starts." /SD IDNO IDNO firewall_done
    ; The machines of this computer's own network only, unless the pilot wants panels from
    ; further away (another subnet, a VPN).
    StrCpy $1 "remoteip=localsubnet"
    MessageBox MB_YESNO|MB_ICONQUESTION "Only from computers on this computer's own network (the local subnet)?$\r$\n$\r$\nYes suits a cockpit whose panels and tablets share one network. Say no only when panels connect from another network, such as over a VPN." /SD IDYES IDYES firewall_add
    StrCpy $1 "remoteip=any"
firewall_add:
    !insertmacro Firewall 'add rule name="${RULE_PANELS}" dir=in action=allow protocol=TCP localport=9696 profile=private,domain $1 program="$INSTDIR\TavelorServer.exe"'
    !insertmacro Firewall 'add rule name="${RULE_WEB}" dir=in action=allow protocol=TCP localport=9080 profile=private,domain $1 program="$INSTDIR\tavelor-web.exe"'
firewall_done:
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  !macro TavelorFile NAME
    Delete "$INSTDIR\${NAME}"
  !macroend
  !include "${FILES}"
  !macroundef TavelorFile
  ; The flight plan the server last handed the simulator, beside it or in the user's folder.
  Delete "$INSTDIR\Quindrel.pln"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  SetShellVarContext current
  Delete "$LOCALAPPDATA\${PRODUCT}\Quindrel.pln"
  RMDir "$LOCALAPPDATA\${PRODUCT}"
  SetShellVarContext all

  Delete "${SHORTCUT_SERVER}"
  Delete "${SHORTCUT_PANELS}"
  Delete "${SHORTCUT_TRY}"
  Delete "${SHORTCUT_README}"
  Delete "${SHORTCUT_UNINSTALL}"
  RMDir "${MENU}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  !insertmacro Firewall 'delete rule name="${RULE_PANELS}"'
  !insertmacro Firewall 'delete rule name="${RULE_WEB}"'
SectionEnd
