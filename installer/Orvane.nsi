; The Orvane installer: per user, without administrator rights, in Korean.
; The build passes VERSION, OUTFILE, ICON, WIZARD, HEADER and the two generated
; file lists FILES (install) and UNFILES (uninstall); see CMakeLists.txt.

Unicode true
ManifestDPIAware true
; The updater replaces program files in place, so the program folder must be
; the player's own: no elevation, and nothing outside the user's profile.
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane"

Name "Orvane"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Orvane"
; An upgrade goes where the last installation went.
InstallDirRegKey HKCU "${UNINST_KEY}" "InstallLocation"
BrandingText "Orvane ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductName" "Orvane"
VIAddVersionKey /LANG=1042 "CompanyName" "Orvane"
VIAddVersionKey /LANG=1042 "FileDescription" "Orvane 설치 프로그램"
VIAddVersionKey /LANG=1042 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1042 "LegalCopyright" "Orvane"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_HEADERIMAGE
!define MUI_HEADERIMAGE_RIGHT
!define MUI_HEADERIMAGE_BITMAP "${HEADER}"
!define MUI_HEADERIMAGE_UNBITMAP "${HEADER}"
!define MUI_ABORTWARNING
; The player sees what was installed before the last page.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE

!define MUI_WELCOMEPAGE_TEXT "오르베인 배틀넷 런처와 업데이트 프로그램을 설치합니다.$\r$\n$\r$\n\
관리자 권한 없이 지금 사용자에게만 설치되며, 시작 메뉴와 바탕 화면에 'Orvane' 바로 가기를 만듭니다. \
이미 설치되어 있으면 새 버전으로 바꾸고, 직접 추가한 서버 목록과 설정은 그대로 둡니다.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The shortcut's way in: the updater first, which then starts the launcher.
!define MUI_FINISHPAGE_RUN "$INSTDIR\start.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Orvane 실행하기(&R)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Korean"

Section
  ; The player's own "User.txt" is never among these, so an upgrade keeps it.
  !include "${FILES}"
  ; Also the shortcuts' working folder.
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Orvane.lnk" "$INSTDIR\start.exe" "" "$INSTDIR\Orvn.exe" 0
  CreateShortcut "$DESKTOP\Orvane.lnk" "$INSTDIR\start.exe" "" "$INSTDIR\Orvn.exe" 0

  WriteRegStr HKCU "${UNINST_KEY}" "DisplayName" "Orvane"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINST_KEY}" "Publisher" "Orvane"
  WriteRegStr HKCU "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Orvn.exe,0"
  WriteRegStr HKCU "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Orvane.lnk"
  Delete "$DESKTOP\Orvane.lnk"
  !include "${UNFILES}"
  ; The server lists the updater brings; the player's own "User.txt" is not one.
  Delete "$INSTDIR\Blizzard.txt"
  Delete "$INSTDIR\Free.txt"
  ; The updater's record of this installation (its versions and release floor)
  ; describes files that are gone now.
  Delete "$INSTDIR\start.INI"
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegKey HKCU "${UNINST_KEY}"

  ; The player's servers and settings stay unless the player says otherwise;
  ; a silent uninstall keeps them. The profiles live in the Windows folder,
  ; or in the player's VirtualStore when Windows redirected the writes (an older
  ; updater kept its record there too).
  StrCpy $0 "$LOCALAPPDATA\VirtualStore\Windows"
  ${If} ${FileExists} "$INSTDIR\User.txt"
  ${OrIf} ${FileExists} "$WINDIR\Orvn.INI"
  ${OrIf} ${FileExists} "$WINDIR\start.INI"
  ${OrIf} ${FileExists} "$0\Orvn.INI"
  ${OrIf} ${FileExists} "$0\start.INI"
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "직접 추가한 서버 목록(User.txt)과$\r$\n게임 경로 설정도 지울까요?$\r$\n$\r$\n\
'아니요'를 누르면 다시 설치할 때 그대로 쓸 수 있습니다." /SD IDNO IDNO keep
    Delete "$INSTDIR\User.txt"
    Delete "$WINDIR\Orvn.INI"
    Delete "$WINDIR\start.INI"
    Delete "$0\Orvn.INI"
    Delete "$0\start.INI"
  keep:
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd
