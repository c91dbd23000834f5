; The Windows installer of Pasavel, in Spanish. Pasavel goes into Velmora's
; own folder, beside Velmora.ini, where Velmora starts it from and reads the
; result of each run. scripts/make-installer-windows gives the defines:
;   VERSION    the program's version (1.0.0)
;   STAGE      the folder with the files to install
;   OUTFILE    the installer to make
; The uninstaller removes exactly what the installer put in place: never
; Velmora.ini, nor Velmora's other files, nor the working folder \VTEMP.
;
; Silent:  pasavel-VERSION-instalar.exe /S /D=C:\Velmora   (/D last, unquoted)

Target amd64-unicode
Unicode true
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

!define PRODUCT "Pasavel"
!define UNINSTALLER "desinstalar-pasavel.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pasavel"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "C:\Velmora"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=3082 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=3082 "FileDescription" "Instalador de Pasavel: exportar e importar datos entre Velmora y Raíces"
VIAddVersionKey /LANG=3082 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=3082 "LegalCopyright" "${PRODUCT}"

!define MUI_ICON "${STAGE}/pasavel.ico"
!define MUI_UNICON "${STAGE}/pasavel.ico"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Este asistente instala Pasavel ${VERSION}, que pasa los datos del centro de Raíces a Velmora y los horarios de Velmora a Raíces.$\r$\n$\r$\nPasavel se instala en la carpeta de Velmora, para que Velmora pueda abrirlo y leer el resultado de cada traspaso en su Velmora.ini.$\r$\n$\r$\nPulse Siguiente para continuar."
!insertmacro MUI_PAGE_WELCOME
!define MUI_DIRECTORYPAGE_TEXT_TOP "Elija la carpeta donde está instalado Velmora (la que contiene Velmora.ini). Pasavel se instalará en ella, junto a Velmora; no se modifica ningún archivo de Velmora."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Carpeta de Velmora"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\pasavel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Abrir Pasavel"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Spanish"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section "Pasavel" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}/pasavel.exe"
  File "${STAGE}/pasavel-cli.exe"
  File "${STAGE}/pasavel-tablas.exe"
  File "${STAGE}/RAICESMATERIAS.DBF"
  SetOutPath "$INSTDIR\RAICES"
  !include "${STAGE}/instalar-ayuda.nsh"
  SetOutPath "$INSTDIR"

  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The start menu: the program, its help and its uninstaller.
  SetShellVarContext all
  CreateDirectory "$SMPROGRAMS\Pasavel"
  CreateShortcut "$SMPROGRAMS\Pasavel\Pasavel.lnk" "$INSTDIR\pasavel.exe" "" "$INSTDIR\pasavel.exe" 0 \
    SW_SHOWNORMAL "" "Exportar e importar datos entre Velmora y Raíces"
  CreateShortcut "$SMPROGRAMS\Pasavel\Ayuda de Pasavel.lnk" "$INSTDIR\RAICES\index.html"
  CreateShortcut "$SMPROGRAMS\Pasavel\Desinstalar Pasavel.lnk" "$INSTDIR\${UNINSTALLER}"

  ; Windows' list of installed programs.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Pasavel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Pasavel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\pasavel.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the installer put in place, file by file: Velmora's folder
  ; keeps Velmora.ini and all of Velmora's own files.
  Delete "$INSTDIR\pasavel.exe"
  Delete "$INSTDIR\pasavel-cli.exe"
  Delete "$INSTDIR\pasavel-tablas.exe"
  Delete "$INSTDIR\RAICESMATERIAS.DBF"
  !include "${STAGE}/desinstalar-ayuda.nsh"
  RMDir "$INSTDIR\RAICES"
  Delete "$INSTDIR\${UNINSTALLER}"

  SetShellVarContext all
  Delete "$SMPROGRAMS\Pasavel\Pasavel.lnk"
  Delete "$SMPROGRAMS\Pasavel\Ayuda de Pasavel.lnk"
  Delete "$SMPROGRAMS\Pasavel\Desinstalar Pasavel.lnk"
  RMDir "$SMPROGRAMS\Pasavel"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ; Removed only when nothing else is left in it.
  RMDir "$INSTDIR"
SectionEnd
