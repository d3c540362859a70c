; talvex-setup.exe: installs korvane.dll and quillon.dll and registers them.
;
; On 64-bit Windows both builds go in: the x86_64 DLLs (and the uninstaller)
; under the 64-bit Program Files, registered by the 64-bit regsvr32 (64-bit
; registry view), the i686 DLLs under Program Files (x86), registered by the
; 32-bit regsvr32 (32-bit view). On 32-bit Windows only the i686 DLLs. With
; /D=<folder> the 64-bit build goes to <folder> and the 32-bit one to
; <folder>\x86 (on 32-bit Windows: to <folder>).
;
; On 64-bit Windows the 64-bit folder also gets talvex.exe (the editor
; program), talvex.msix (the package that puts the menus into Windows 11's
; first right-click menu) and talvex.cer (its signer's certificate); on
; 32-bit Windows the folder gets the i686 talvex.exe only. On Windows 11
; (build 22000 on, read from the registry, which does not depend on how
; Windows reports its version to this program) the package is registered with
; that folder as its external location; see RegisterPackage. Nothing of that
; step can fail the install: the classic menu works without it.
;
; Windows on Arm is refused before anything is changed: its Explorer and
; COM surrogate are Arm64 and load neither build of the DLLs.
;
; The user's menus (HKCU\Software\Talvex) are never touched.
;
; Exit codes: 0 done; 3010 done, but a DLL that a running program held open
; is only replaced or removed at the next restart; 2 failed (the message
; says what, also in the details); 1 cancelled.
;
; /LOG=<file> (before /D= or _?=, which come last): every step and the
; outcome are appended to <file> as well, the setup's and the uninstaller's
; alike. A silent run shows no details; this is where they are then.
;
; makensis -D: VERSION (x.y.z), PRODUCT_NAME, COMPANY_NAME, COPYRIGHT,
; OUTFILE, I686_KORVANE, I686_QUILLON, X86_64_KORVANE, X86_64_QUILLON,
; I686_TALVEX_EXE, X86_64_TALVEX_EXE, PACKAGE_MSIX, PACKAGE_CER (files),
; PACKAGE_CER_SHA1, the certificate's thumbprint, and two includes (UTF-8):
; NAMES_NSH, the names of shellext/talvex_names.h as defines of the same
; names, and PACKAGE_NSH, which defines TALVEX_PACKAGE_PUBLISHER, the
; package's Publisher.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include FileFunc.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include x64.nsh

!include /CHARSET=UTF8 "${NAMES_NSH}"
!include /CHARSET=UTF8 "${PACKAGE_NSH}"
; The includes write a "{" that follows a "$" in their text as
; $(TALVEX_OPEN_BRACE): makensis would take "${" for the start of a define.
LangString TALVEX_OPEN_BRACE 1033 "{"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Talvex"
!define FOLDER_NAME "Talvex"
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010
!define FIRST_WINDOWS_11_BUILD 22000
; Present when the user has brought back the classic right-click menu.
!define CLASSIC_MENU_KEY "Software\Classes\CLSID\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\InprocServer32"
; HKLM\${TALVEX_MACHINE_KEY}, in the 64-bit view, records the package this
; setup registered and nothing else: its name and publisher (korvane computes
; the package's family from them and asks Windows whether the current user
; has it) and PackagedMenu (DWORD) = 1.

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT_NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY_NAME}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT_NAME} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Where the i686 DLLs go; $INSTDIR is the 64-bit (or only) folder.
Var Folder32
; The /LOG= file, or "".
Var LogFile
; What the last system program run printed.
Var ProgramOutput

; A line of the details, also appended to the /LOG= file. The error flag is
; kept as it was: callers test it after some of these lines. The text is
; quoted with backticks, as it may hold the quotes of a command line.
!macro DETAIL text
  DetailPrint `${text}`
  ${If} $LogFile != ""
    Push $R9
    Push $R8
    StrCpy $R8 0
    IfErrors 0 +2
      StrCpy $R8 1
    FileOpen $R9 "$LogFile" a
    ${If} $R9 != ""
      FileSeek $R9 0 END
      FileWrite $R9 `${text}$\r$\n`
      FileClose $R9
    ${EndIf}
    ClearErrors
    ${If} $R8 == 1
      SetErrors
    ${EndIf}
    Pop $R8
    Pop $R9
  ${EndIf}
!macroend

; Takes /LOG= from the command line and starts the log with the command
; line itself.
!macro START_LOG
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/LOG=" $LogFile
  ${If} ${Errors}
    StrCpy $LogFile ""
  ${EndIf}
  !insertmacro DETAIL "${PRODUCT_NAME} ${VERSION}: $CMDLINE"
!macroend

; Fails the run: the message (a box unless silent) and the details log say
; what went wrong; the exit code is 2.
!macro FAIL text
  !insertmacro DETAIL "${text}"
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

; The i686 folder follows from $INSTDIR, so the uninstaller needs no record
; of it.
!macro FOLDER32_FUNCTION un
Function ${un}ChooseFolder32
  ${If} ${RunningX64}
    ${If} $INSTDIR == "$PROGRAMFILES64\${FOLDER_NAME}"
      StrCpy $Folder32 "$PROGRAMFILES32\${FOLDER_NAME}"
    ${Else}
      StrCpy $Folder32 "$INSTDIR\x86"
    ${EndIf}
  ${Else}
    StrCpy $Folder32 $INSTDIR
  ${EndIf}
FunctionEnd
!macroend
!insertmacro FOLDER32_FUNCTION ""
!insertmacro FOLDER32_FUNCTION "un."

; regsvr32 of one bitness (32 or 64) with OPTIONS on FILE; its exit code in
; $R0 ("not started" when it could not be started). The 32-bit installer sees
; System32 redirected to the 32-bit system folder; the 64-bit regsvr32 is
; reached with the redirection off.
!macro REGSVR32 bits options file
  StrCpy $R0 "not started"
  ClearErrors
  ${If} ${bits} == 64
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" ${options} "${file}"' $R0
    ${EnableX64FSRedirection}
  ${Else}
    ExecWait '"$SYSDIR\regsvr32.exe" ${options} "${file}"' $R0
  ${EndIf}
!macroend

; PROGRAM (a path under the 64-bit System32) with ARGUMENTS, with no window,
; logged with its exit code and what it printed (where the reason of a
; failure is); the exit code is left in $R0 ("not started" when it could not
; be started). Only 64-bit Windows runs these: the package tools act on the
; whole system, and the 32-bit PowerShell cannot load the Appx cmdlets.
!macro RUN_SYSTEM64 what program arguments
  !insertmacro DETAIL `${what}: "$WINDIR\System32\${program}" ${arguments}`
  ${DisableX64FSRedirection}
  nsExec::ExecToStack `"$WINDIR\System32\${program}" ${arguments}`
  Pop $R0
  Pop $ProgramOutput
  ${EnableX64FSRedirection}
  ${If} $R0 == "error"
    StrCpy $R0 "not started"
  ${EndIf}
  !insertmacro DETAIL `${what}: exit code $R0`
  ${If} $ProgramOutput != ""
    !insertmacro DETAIL `$ProgramOutput`
  ${EndIf}
!macroend

; A PowerShell command; any error ends it with a non-zero exit code. Paths
; in COMMAND go in single quotes, with each ' in them doubled, so that any
; folder name reaches PowerShell as it is.
!macro POWERSHELL what command
  !insertmacro RUN_SYSTEM64 `${what}` "WindowsPowerShell\v1.0\powershell.exe" `-NoProfile -NonInteractive -ExecutionPolicy Bypass -Command "$$ErrorActionPreference = 'Stop'; ${command}"`
!macroend

!macro CERTUTIL what arguments
  !insertmacro RUN_SYSTEM64 `${what}` "certutil.exe" `${arguments}`
!macroend

; The keys above the handler keys, deepest first. Registration creates
; those that are missing (they are shared by both registry views); the
; installer notes which in the Uninstall key, so that the uninstaller
; removes those and no key that was there before.
!macro PARENT_KEYS action
  !insertmacro ${action} "${TALVEX_FILE_CLASS}\shellex\ContextMenuHandlers"
  !insertmacro ${action} "${TALVEX_FILE_CLASS}\shellex\PropertySheetHandlers"
  !insertmacro ${action} "${TALVEX_FILE_CLASS}\shellex"
  !insertmacro ${action} "${TALVEX_FILE_CLASS}"
  !insertmacro ${action} "${TALVEX_BACKGROUND_CLASS}\shellex\ContextMenuHandlers"
  !insertmacro ${action} "${TALVEX_BACKGROUND_CLASS}\shellex"
  !insertmacro ${action} "${TALVEX_BACKGROUND_CLASS}"
  !insertmacro ${action} "${TALVEX_FOLDER_CLASS}\shellex\ContextMenuHandlers"
  !insertmacro ${action} "${TALVEX_FOLDER_CLASS}\shellex\PropertySheetHandlers"
  !insertmacro ${action} "${TALVEX_FOLDER_CLASS}\shellex"
  !insertmacro ${action} "${TALVEX_FOLDER_CLASS}"
  !insertmacro ${action} "${TALVEX_DRIVE_CLASS}\shellex\ContextMenuHandlers"
  !insertmacro ${action} "${TALVEX_DRIVE_CLASS}\shellex\PropertySheetHandlers"
  !insertmacro ${action} "${TALVEX_DRIVE_CLASS}\shellex"
  !insertmacro ${action} "${TALVEX_DRIVE_CLASS}"
!macroend

!macro NOTE_IF_MISSING key
  ClearErrors
  EnumRegKey $R0 HKCR "${key}" 0
  ${If} ${Errors}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Created ${key}" 1
  ${EndIf}
!macroend

!macro DELETE_IF_CREATED key
  ClearErrors
  ReadRegDWORD $R0 HKLM "${UNINSTALL_KEY}" "Created ${key}"
  ${If} $R0 == 1
    DeleteRegKey /ifempty HKCR "${key}"
  ${EndIf}
!macroend

; ------------------------------------------------- Windows 11's package

; $R2 = 1 when HKLM\${TALVEX_MACHINE_KEY} holds VALUE (of any type: ReadRegStr
; reads a DWORD too, with the error flag set).
!macro NOTE_RECORD_VALUE value
  ClearErrors
  ReadRegStr $R3 HKLM "${TALVEX_MACHINE_KEY}" "${value}"
  ${IfNot} ${Errors}
  ${OrIf} $R3 != ""
    StrCpy $R2 1
  ${EndIf}
!macroend

!macro REMOVE_PACKAGE_FUNCTION un
; The Windows build in $R1, from the registry, which does not depend on how
; Windows reports its version to this program; 0 when it cannot be read.
Function ${un}ReadWindowsBuild
  ClearErrors
  ReadRegStr $R1 HKLM "Software\Microsoft\Windows NT\CurrentVersion" "CurrentBuildNumber"
  ${If} ${Errors}
    StrCpy $R1 0
  ${EndIf}
FunctionEnd

; Removes the package by name, for every user and for users yet to sign in,
; then the record of it. This runs on every 64-bit Windows 11, and on an
; older build too where a record value is left (Windows was rolled back),
; whatever PackagedMenu says: after a step that failed halfway or a value
; that went missing, the package would otherwise stay registered for good,
; pointing at a folder that is gone. Where no such package is registered the
; commands find nothing and do nothing. The upgrade does this first: the same
; version cannot be registered twice, and removing the package ends the
; surrogate that holds korvane.dll. A failure is logged only: the classic
; menu then shows the kinds again, next to what is left of the package.
Function ${un}RemovePackage
  ${If} ${RunningX64}
    Call ${un}ReadWindowsBuild
    StrCpy $R2 0
    !insertmacro NOTE_RECORD_VALUE "${TALVEX_PACKAGE_NAME_VALUE}"
    !insertmacro NOTE_RECORD_VALUE "${TALVEX_PACKAGE_PUBLISHER_VALUE}"
    !insertmacro NOTE_RECORD_VALUE "${TALVEX_PACKAGED_MENU_VALUE}"
    ${If} $R1 >= ${FIRST_WINDOWS_11_BUILD}
    ${OrIf} $R2 == 1
      !insertmacro POWERSHELL "Removing the package for users yet to sign in" `Get-AppxProvisionedPackage -Online | Where-Object DisplayName -EQ '${TALVEX_PACKAGE_NAME}' | Remove-AppxProvisionedPackage -Online`
      !insertmacro POWERSHELL "Removing the package for every user" `Get-AppxPackage -AllUsers -Name '${TALVEX_PACKAGE_NAME}' | Remove-AppxPackage -AllUsers`
    ${EndIf}
  ${EndIf}
  DeleteRegValue HKLM "${TALVEX_MACHINE_KEY}" "${TALVEX_PACKAGE_NAME_VALUE}"
  DeleteRegValue HKLM "${TALVEX_MACHINE_KEY}" "${TALVEX_PACKAGE_PUBLISHER_VALUE}"
  DeleteRegValue HKLM "${TALVEX_MACHINE_KEY}" "${TALVEX_PACKAGED_MENU_VALUE}"
  DeleteRegKey /ifempty HKLM "${TALVEX_MACHINE_KEY}"
FunctionEnd

; Takes out of LocalMachine\TrustedPeople the certificate that an earlier run
; put there (its thumbprint is noted in the Uninstall key), unless it is the
; one in $R1. A certificate that was there before is never noted, so it stays.
Function ${un}RemoveAddedCertificate
  ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "Added certificate"
  ${If} $R2 != ""
  ${AndIf} $R2 != $R1
    !insertmacro CERTUTIL "Removing the certificate this setup trusted" "-delstore TrustedPeople $R2"
    DeleteRegValue HKLM "${UNINSTALL_KEY}" "Added certificate"
  ${EndIf}
FunctionEnd
!macroend
!insertmacro REMOVE_PACKAGE_FUNCTION ""
!insertmacro REMOVE_PACKAGE_FUNCTION "un."

; Windows accepts the package only when its signer is trusted: a certificate
; of a trusted authority is, our own self-signed one is once it is in
; LocalMachine\TrustedPeople, which trusts that one certificate (for package
; signatures and the like) and makes it no authority over anything else.
; $R3 = 1 when the signer is trusted.
Function TrustCertificate
  StrCpy $R3 1
  StrCpy $R1 "${PACKAGE_CER_SHA1}"
  Call RemoveAddedCertificate
  !insertmacro CERTUTIL "Is the package's certificate in TrustedPeople already" "-store TrustedPeople ${PACKAGE_CER_SHA1}"
  ${If} $R0 == 0
    Return
  ${EndIf}
  !insertmacro CERTUTIL "Does the package's certificate come from a trusted authority" `-verify "$INSTDIR\talvex.cer"`
  ${If} $R0 == 0
    Return
  ${EndIf}
  !insertmacro CERTUTIL "Trusting the package's certificate" `-addstore TrustedPeople "$INSTDIR\talvex.cer"`
  ${If} $R0 == 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Added certificate" "${PACKAGE_CER_SHA1}"
  ${Else}
    StrCpy $R3 0
  ${EndIf}
FunctionEnd

; Provisions the package that the installing user has just registered, so
; that every account gets it when it next signs in: the route Windows
; documents for a package that is already registered
; (Add-AppxProvisionedPackage has no way to name the external location). The
; family name comes from that registration; the asynchronous operation is
; awaited, and a result with an error code is thrown as its text, so that the
; exit code and the log tell. (The whole command line must stay within
; NSIS's 1024 characters.)
!define PROVISION_PACKAGE "$$f = (Get-AppxPackage -Name '${TALVEX_PACKAGE_NAME}').PackageFamilyName; if (-not $$f) { throw 'The package is not registered.' }; Add-Type -AssemblyName System.Runtime.WindowsRuntime; $$m = [Windows.Management.Deployment.PackageManager,Windows.Management.Deployment,ContentType=WindowsRuntime]::new(); $$t = [WindowsRuntimeSystemExtensions].GetMethods() | Where-Object { $$_.Name -eq 'AsTask' -and $$_.GetParameters().Count -eq 1 -and $$_.GetParameters()[0].ParameterType.Name -like 'IAsyncOperationWithProgress*' }; $$r = $$t[0].MakeGenericMethod([Windows.Management.Deployment.DeploymentResult], [Windows.Management.Deployment.DeploymentProgress]).Invoke($$null, @($$m.ProvisionPackageForAllUsersAsync($$f))).GetAwaiter().GetResult(); if ($$r.ExtendedErrorCode) { throw $$r.ErrorText }"

; $0 = $INSTDIR for a single-quoted PowerShell string: PowerShell ends one at
; ' and at each of the typographic quotes U+2018 to U+201B, so each of them
; is doubled.
!macro POWERSHELL_QUOTED_INSTDIR
  ${WordReplace} "$INSTDIR" "'" "''" "+" $0
  ${WordReplace} "$0" "${U+2018}" "${U+2018}${U+2018}" "+" $0
  ${WordReplace} "$0" "${U+2019}" "${U+2019}${U+2019}" "+" $0
  ${WordReplace} "$0" "${U+201A}" "${U+201A}${U+201A}" "+" $0
  ${WordReplace} "$0" "${U+201B}" "${U+201B}${U+201B}" "+" $0
!macroend

; On 64-bit Windows 11 with the new right-click menu: trusts the signer,
; registers the package for the installing user with the install folder as
; its external location, records it, and provisions it for every other user,
; as the install is for the whole machine. When trust or registration fails,
; nothing is recorded and the log says why the menus stay under "Show more
; options".
;
; When only the provisioning fails, the installing user's registration is
; kept, and recorded: it works for that user, and korvane asks Windows per
; account whether the package is there, so every other account simply keeps
; all its menus in the classic menu. The uninstaller removes the package
; whatever happened here.
Function RegisterPackage
  ${IfNot} ${RunningX64}
    Return
  ${EndIf}
  Call ReadWindowsBuild
  ${If} $R1 < ${FIRST_WINDOWS_11_BUILD}
    !insertmacro DETAIL "Windows build $R1 is older than Windows 11: the package is not registered"
    Return
  ${EndIf}
  ClearErrors
  EnumRegKey $R2 HKCU "${CLASSIC_MENU_KEY}" 0
  ${IfNot} ${Errors}
    !insertmacro DETAIL "The classic right-click menu is restored (HKCU\${CLASSIC_MENU_KEY}): the package is not registered"
    Return
  ${EndIf}

  Call TrustCertificate
  ${If} $R3 != 1
    !insertmacro DETAIL "Windows would refuse the package of an untrusted signer: it is not registered. The menus stay under $\"Show more options$\"."
    Return
  ${EndIf}
  Push $0
  !insertmacro POWERSHELL_QUOTED_INSTDIR
  !insertmacro POWERSHELL "Registering the package" `Add-AppxPackage -Path '$0\talvex.msix' -ExternalLocation '$0'`
  Pop $0
  ${If} $R0 != 0
    !insertmacro DETAIL "Registering the package failed: the menus stay under $\"Show more options$\"."
    Return
  ${EndIf}

  ClearErrors
  WriteRegStr HKLM "${TALVEX_MACHINE_KEY}" "${TALVEX_PACKAGE_NAME_VALUE}" "${TALVEX_PACKAGE_NAME}"
  WriteRegStr HKLM "${TALVEX_MACHINE_KEY}" "${TALVEX_PACKAGE_PUBLISHER_VALUE}" "${TALVEX_PACKAGE_PUBLISHER}"
  WriteRegDWORD HKLM "${TALVEX_MACHINE_KEY}" "${TALVEX_PACKAGED_MENU_VALUE}" 1
  ${If} ${Errors}
    !insertmacro DETAIL "Cannot record the package under HKLM\${TALVEX_MACHINE_KEY}: the classic menu also shows the files' and folders' menus"
  ${Else}
    !insertmacro DETAIL "The package is registered: Windows 11's first right-click menu shows the menus of files, folders and folder backgrounds (Explorer may need a restart)"
  ${EndIf}

  !insertmacro POWERSHELL "Provisioning the package for every user" `${PROVISION_PACKAGE}`
  ${If} $R0 != 0
    !insertmacro DETAIL "Provisioning the package failed: it stays registered for this user; other accounts keep the menus under $\"Show more options$\"."
  ${EndIf}
FunctionEnd

; ---------------------------------------------------------------- install

; Windows on Arm, before anything is changed. A 32-bit program there sees
; PROCESSOR_ARCHITEW6432=ARM64 (an x64 one, PROCESSOR_ARCHITECTURE=ARM64);
; IsWow64Process2 (Windows 10 1511 on) names the machine in any case.
Function .onInit
  !insertmacro START_LOG
  ReadEnvStr $R0 PROCESSOR_ARCHITEW6432
  ReadEnvStr $R1 PROCESSOR_ARCHITECTURE
  ${If} $R0 == "ARM64"
  ${OrIf} $R1 == "ARM64"
  ${OrIf} ${IsNativeARM64}
    !insertmacro FAIL "Talvex does not support Windows on Arm yet: Explorer there loads only Arm64 DLLs, and this setup has none. Nothing was installed."
  ${EndIf}
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ; /D= sets $INSTDIR before this; otherwise an earlier install's folder
  ; (an upgrade goes where the first install went), else Program Files.
  ${If} $INSTDIR == ""
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${EndIf}
  ${If} $INSTDIR == ""
    ${If} ${RunningX64}
      StrCpy $INSTDIR "$PROGRAMFILES64\${FOLDER_NAME}"
    ${Else}
      StrCpy $INSTDIR "$PROGRAMFILES32\${FOLDER_NAME}"
    ${EndIf}
  ${EndIf}
FunctionEnd

; Puts SOURCE (a file on the build machine) at FOLDER\NAME. A file there that
; a running program holds open cannot be overwritten, but it can be renamed:
; it is moved aside to NAME.old, deleted at the next restart, and the new
; file takes its place at once.
!macro PUT_FILE source folder name
  ClearErrors
  Delete "${folder}\${name}"
  ${If} ${FileExists} "${folder}\${name}"
    Delete "${folder}\${name}.old"
    ClearErrors
    Rename "${folder}\${name}" "${folder}\${name}.old"
    ${If} ${Errors}
      !insertmacro FAIL "Cannot replace ${folder}\${name}: a running program holds it open. Close the programs that show Talvex menus (or restart Windows) and run the setup again."
    ${EndIf}
    Delete /REBOOTOK "${folder}\${name}.old"
    !insertmacro DETAIL "${folder}\${name} is in use: the old file goes at the next restart"
  ${EndIf}
  !insertmacro DETAIL "Writing ${folder}\${name}"
  SetOutPath "${folder}"
  ClearErrors
  File "/oname=${name}" "${source}"
  ${If} ${Errors}
    !insertmacro FAIL "Cannot write ${folder}\${name}."
  ${EndIf}
!macroend

!macro REGISTER bits file
  !insertmacro DETAIL "Registering ${file} (${bits}-bit)"
  !insertmacro REGSVR32 ${bits} "/s" "${file}"
  ${If} $R0 != 0
    !insertmacro FAIL "Registering ${file} (${bits}-bit) failed: regsvr32 exit code $R0."
  ${EndIf}
!macroend

Section "Talvex context menus"
  SetOverwrite try
  Call ChooseFolder32
  ${If} ${RunningX64}
    Call RemovePackage
    !insertmacro PUT_FILE "${X86_64_KORVANE}" "$INSTDIR" "korvane.dll"
    !insertmacro PUT_FILE "${X86_64_QUILLON}" "$INSTDIR" "quillon.dll"
    !insertmacro PUT_FILE "${X86_64_TALVEX_EXE}" "$INSTDIR" "talvex.exe"
    !insertmacro PUT_FILE "${PACKAGE_MSIX}" "$INSTDIR" "talvex.msix"
    !insertmacro PUT_FILE "${PACKAGE_CER}" "$INSTDIR" "talvex.cer"
  ${Else}
    !insertmacro PUT_FILE "${I686_TALVEX_EXE}" "$INSTDIR" "talvex.exe"
  ${EndIf}
  !insertmacro PUT_FILE "${I686_KORVANE}" "$Folder32" "korvane.dll"
  !insertmacro PUT_FILE "${I686_QUILLON}" "$Folder32" "quillon.dll"

  !insertmacro DETAIL "Writing $INSTDIR\uninstall.exe"
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    !insertmacro FAIL "Cannot write $INSTDIR\uninstall.exe."
  ${EndIf}

  ; The Start menu shortcut to the window of all menus, for every user, as
  ; the DLLs are. A shortcut that cannot be made leaves the menus working:
  ; the log says so and the install goes on.
  SetShellVarContext all
  !insertmacro DETAIL "Creating the shortcut $SMPROGRAMS\${TALVEX_MENUS_TITLE}.lnk"
  ClearErrors
  CreateShortCut "$SMPROGRAMS\${TALVEX_MENUS_TITLE}.lnk" "$INSTDIR\talvex.exe" "" "$INSTDIR\talvex.exe" 0
  ${If} ${Errors}
    !insertmacro DETAIL "The shortcut $SMPROGRAMS\${TALVEX_MENUS_TITLE}.lnk could not be created"
  ${EndIf}

  !insertmacro PARENT_KEYS NOTE_IF_MISSING
  ${If} ${RunningX64}
    !insertmacro REGISTER 64 "$INSTDIR\korvane.dll"
    !insertmacro REGISTER 64 "$INSTDIR\quillon.dll"
  ${EndIf}
  !insertmacro REGISTER 32 "$Folder32\korvane.dll"
  !insertmacro REGISTER 32 "$Folder32\quillon.dll"

  ; "Apps & features". On 64-bit Windows the entry is in the 64-bit view,
  ; beside the 64-bit install (.onInit chose the view).
  !insertmacro DETAIL "Writing the uninstall entry HKLM\${UNINSTALL_KEY}"
  ClearErrors
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    !insertmacro FAIL "Cannot write the uninstall entry HKLM\${UNINSTALL_KEY}."
  ${EndIf}

  Call RegisterPackage

  ${If} ${RebootFlag}
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
SectionEnd

Function .onInstSuccess
  !insertmacro DETAIL "Installed"
FunctionEnd

Function .onInstFailed
  !insertmacro DETAIL "The installation failed"
FunctionEnd

; -------------------------------------------------------------- uninstall

Function un.onInit
  !insertmacro START_LOG
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
FunctionEnd

Function un.onUninstSuccess
  !insertmacro DETAIL "Uninstalled"
FunctionEnd

Function un.onUninstFailed
  !insertmacro DETAIL "The uninstallation failed"
FunctionEnd

; After unregistering, nothing of the class may be left in the current view:
; no InprocServer32 under its class key, no handler key naming it. Returns
; in $R1 the first key still there, or "".
!macro CHECK_KEY key value expected
  ${If} $R1 == ""
    ClearErrors
    ReadRegStr $R2 HKCR "${key}" "${value}"
    ${IfNot} ${Errors}
      ${If} "${expected}" == ""
      ${OrIf} $R2 == "${expected}"
        StrCpy $R1 "HKCR\${key}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend
!macro REMAINING_KEY clsid friendly handlerKind
  StrCpy $R1 ""
  !insertmacro CHECK_KEY "CLSID\${clsid}\InprocServer32" "" ""
  !insertmacro CHECK_KEY "${TALVEX_FILE_CLASS}\shellex\${handlerKind}\${friendly}" "" "${clsid}"
  !insertmacro CHECK_KEY "${TALVEX_FOLDER_CLASS}\shellex\${handlerKind}\${friendly}" "" "${clsid}"
  !insertmacro CHECK_KEY "${TALVEX_BACKGROUND_CLASS}\shellex\${handlerKind}\${friendly}" "" "${clsid}"
  !insertmacro CHECK_KEY "${TALVEX_DRIVE_CLASS}\shellex\${handlerKind}\${friendly}" "" "${clsid}"
!macroend

; Deletes a handler key left behind when it still names CLSID (the DLL that
; would remove it is gone).
!macro DELETE_HANDLER_KEY key clsid
  ReadRegStr $R2 HKCR "${key}" ""
  ${If} $R2 == "${clsid}"
    DeleteRegKey HKCR "${key}"
  ${EndIf}
!macroend

; Unregisters FILE of one bitness. Both bitnesses share the handler keys
; (only CLSID is kept apart per view), so the second DllUnregisterServer
; finds them gone and fails by design: a failure of regsvr32 is an error
; only when the class is still registered afterwards. A DLL deleted by hand
; cannot unregister itself; its keys are then removed here, those that
; still name its class only.
!macro UNREGISTER bits file clsid friendly handlerKind
  ${If} ${bits} == 64
    SetRegView 64
  ${Else}
    SetRegView 32
  ${EndIf}
  ${If} ${FileExists} "${file}"
    !insertmacro DETAIL "Unregistering ${file} (${bits}-bit)"
    !insertmacro REGSVR32 ${bits} "/u /s" "${file}"
    ${If} $R0 != 0
      !insertmacro DETAIL "regsvr32 /u ${file} (${bits}-bit): exit code $R0 (expected when the other bitness removed the shared handler keys)"
    ${EndIf}
  ${Else}
    !insertmacro DETAIL "${file} is missing: removing its registration (${bits}-bit) directly"
    StrCpy $R0 "file missing"
    DeleteRegKey HKCR "CLSID\${clsid}"
    !insertmacro DELETE_HANDLER_KEY "${TALVEX_FILE_CLASS}\shellex\${handlerKind}\${friendly}" "${clsid}"
    !insertmacro DELETE_HANDLER_KEY "${TALVEX_FOLDER_CLASS}\shellex\${handlerKind}\${friendly}" "${clsid}"
    !insertmacro DELETE_HANDLER_KEY "${TALVEX_BACKGROUND_CLASS}\shellex\${handlerKind}\${friendly}" "${clsid}"
    !insertmacro DELETE_HANDLER_KEY "${TALVEX_DRIVE_CLASS}\shellex\${handlerKind}\${friendly}" "${clsid}"
  ${EndIf}
  !insertmacro REMAINING_KEY "${clsid}" "${friendly}" "${handlerKind}"
  ${If} $R1 != ""
    !insertmacro FAIL "Unregistering ${file} (${bits}-bit) failed (regsvr32: $R0): $R1 is still there. No file was removed; close the programs that show Talvex menus and run the uninstaller again."
  ${EndIf}
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

; Every file the installer wrote, and the NAME.old files an upgrade over a
; running program left. A file held open goes at the next restart.
!macro REMOVE_FILE folder name
  Delete /REBOOTOK "${folder}\${name}"
  Delete /REBOOTOK "${folder}\${name}.old"
!macroend

Section "Uninstall"
  Call un.ChooseFolder32
  ; The package goes first: its surrogate may hold korvane.dll.
  Call un.RemovePackage
  StrCpy $R1 ""
  Call un.RemoveAddedCertificate
  ${If} ${RunningX64}
    !insertmacro UNREGISTER 64 "$INSTDIR\korvane.dll" "${TALVEX_KORVANE_CLSID}" "${TALVEX_KORVANE_NAME}" "ContextMenuHandlers"
    !insertmacro UNREGISTER 64 "$INSTDIR\quillon.dll" "${TALVEX_QUILLON_CLSID}" "${TALVEX_QUILLON_NAME}" "PropertySheetHandlers"
  ${EndIf}
  !insertmacro UNREGISTER 32 "$Folder32\korvane.dll" "${TALVEX_KORVANE_CLSID}" "${TALVEX_KORVANE_NAME}" "ContextMenuHandlers"
  !insertmacro UNREGISTER 32 "$Folder32\quillon.dll" "${TALVEX_QUILLON_CLSID}" "${TALVEX_QUILLON_NAME}" "PropertySheetHandlers"

  ; DllUnregisterServer deletes its own keys only: the parents that the
  ; registration created go too, if nothing else came into them since.
  !insertmacro PARENT_KEYS DELETE_IF_CREATED

  ${If} ${RunningX64}
    !insertmacro REMOVE_FILE "$INSTDIR" "korvane.dll"
    !insertmacro REMOVE_FILE "$INSTDIR" "quillon.dll"
  ${EndIf}
  !insertmacro REMOVE_FILE "$Folder32" "korvane.dll"
  !insertmacro REMOVE_FILE "$Folder32" "quillon.dll"
  SetShellVarContext all
  Delete "$SMPROGRAMS\${TALVEX_MENUS_TITLE}.lnk"
  !insertmacro REMOVE_FILE "$INSTDIR" "talvex.exe"
  !insertmacro REMOVE_FILE "$INSTDIR" "talvex.msix"
  !insertmacro REMOVE_FILE "$INSTDIR" "talvex.cer"
  ; Run from its copy in Temp (the usual way) the uninstaller can delete
  ; itself; started with _?= it cannot, and the caller removes it.
  Delete "$INSTDIR\uninstall.exe"
  ; A folder that still holds a file waiting for the restart goes with it.
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$Folder32"
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$Folder32"
    RMDir "$INSTDIR"
  ${EndIf}

  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} ${RebootFlag}
    !insertmacro DETAIL "Some files were in use: they are removed at the next restart"
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
SectionEnd
