; windows-setup.nsi: the Windows setup, a 64-bit NSIS installer. It puts the program and its
; licences under Program Files, a Start-menu entry, the screen saver in the system folder (where
; Screen Saver Settings list savers) and an entry in Apps with its uninstaller.
;   makensis -DVERSION=X.Y.Z -DFILES=DIR -DICON=ico -DLANGUAGES=nsh -DOUTFILE=setup.exe
;            [-DCODESIGN=codesign.sh -DCODESIGN_CONF=FILE] windows-setup.nsi
; FILES holds what the zip holds: velmorade.exe, velmorade.scr, SDL.dll, README.txt and the
; licences. SDL.dll stays in Velmorade's own folder; the saver loads it from there.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin
; The files keep no build time, so that each build of the same source is the same setup; they are
; dated when they are installed.
SetDateSave off

!define NAME "Velmorade"
!define PUBLISHER "The Velmorade authors"
; The saver reads InstallLocation here to find SDL.dll.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmorade"

Name "${NAME}"
OutFile "${OUTFILE}"
!ifdef CODESIGN
  ; The uninstaller is signed before it is packed into the setup, the setup once it is written.
  !uninstfinalize 'sh "${CODESIGN}" "${CODESIGN_CONF}" "%1" uninstall.exe' = 0
  !finalize 'sh "${CODESIGN}" "${CODESIGN_CONF}" "%1"' = 0
!endif
; A 64-bit installer sees the 64-bit Program Files, system folder and registry as they are.
InstallDir "$PROGRAMFILES64\${NAME}"
; Installing over an earlier install keeps its folder.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${NAME}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${NAME} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright ${PUBLISHER}, MIT licence"

!include MUI2.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The warning comes first, before anything is installed.
!define MUI_WELCOMEPAGE_TITLE "Velmorade ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "$(ABOUT)$\r$\n$\r$\n$(WARNING_TITLE) $(WARNING)$\r$\n$\r$\n$(^ClickNext)"
!insertmacro MUI_PAGE_WELCOME
; The MIT licence asks nothing of a user: the page shows it, and Next goes on.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "$(LICENCE)"
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(INSTALLED)$\r$\n$\r$\n$(SAVER)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; English first, the language taken where Windows' display language has none here; then every
; language whose catalogue translates all of the setup's texts (the build's languages.nsh), each
; page in the display language, NSIS's own texts from its language files.
!insertmacro MUI_LANGUAGE "English"
LangString ABOUT ${LANG_ENGLISH} "Velmorade is a full-screen optical illusion: black-and-white diamond stripes that run toward the centre inside a disc and away from it outside. This setup installs the program, with an entry in the Start menu, and the screen saver."
LangString WARNING_TITLE ${LANG_ENGLISH} "Photosensitivity warning."
LangString WARNING ${LANG_ENGLISH} "High-contrast stripes in motion can trigger seizures in people with photosensitive epilepsy. Do not run Velmorade, or use it as a screen saver, where such a person may see it."
LangString LICENCE ${LANG_ENGLISH} "Velmorade is free software under this licence. Using it does not require accepting it."
LangString INSTALLED ${LANG_ENGLISH} "Velmorade is installed. Start it from the Start menu; Escape ends it."
LangString SAVER ${LANG_ENGLISH} "To use it as your screen saver, choose Velmorade in Screen Saver Settings."
LangString SHORTCUT ${LANG_ENGLISH} "Full-screen optical illusion of running diamond stripes"
!include "${LANGUAGES}"

; The Start-menu entry and the registry are everyone's, as the files are.
Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Velmorade" main
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${FILES}\velmorade.exe"
  File "${FILES}\SDL.dll"
  File "${FILES}\README.txt"
  File "${FILES}\LICENSE.txt"
  File "${FILES}\LICENSE-SDL.txt"
  SetOutPath "$SYSDIR"
  File "${FILES}\velmorade.scr"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\velmorade.exe" "" "$INSTDIR\velmorade.exe" 0 \
    SW_SHOWNORMAL "" "$(SHORTCUT)"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velmorade.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "https://velmorade.github.io/"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${main} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Only what the setup put there goes; the user's choice of screen saver and the other savers in
; the system folder stay. stdout.txt and stderr.txt are what the program wrote beside itself.
Section "Uninstall"
  Delete "$SYSDIR\velmorade.scr"
  Delete "$SMPROGRAMS\${NAME}.lnk"
  Delete "$INSTDIR\velmorade.exe"
  Delete "$INSTDIR\SDL.dll"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\LICENSE-SDL.txt"
  Delete "$INSTDIR\stdout.txt"
  Delete "$INSTDIR\stderr.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
