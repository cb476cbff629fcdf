; Kelvory's installer for Windows, an Inno Setup 6 script.
;
; UNTESTED: Kelvory is built and tested on Debian 12 only; no Windows machine has run
; this script. docs/windows.md tells how to fill the folder it packs and how to build it:
;   iscc /DDeployDir=C:\kelvory\deploy packaging\windows\kelvory.iss
;
; The folder must hold a build configured with -DKELVORY_DATA_FOLDER=user: installed under
; Program Files, where a user may not write, the program keeps User.txt, Kelvory.db,
; ExcelExport.csv and Backups\ in each user's own %LOCALAPPDATA%\Kelvory. Uninstalling
; leaves those folders as they are: they hold the club's data.
;
; Prerequisites it sees to: 64-bit Windows 10 or later, the Visual C++ run time (from the
; deploy folder), and the ODBC driver the build names (OdbcDriver, KELVORY_ODBC_DRIVER of
; the build): "SQL Server" comes with Windows; for "ODBC Driver 18 for SQL Server" put
; Microsoft's msodbcsql.msi in the deploy folder and it is installed when missing.

#define AppName "Kelvory"
#define AppVersion "1.0.0"
#ifndef OdbcDriver
  #define OdbcDriver "SQL Server"
#endif
#ifndef DeployDir
  #define DeployDir "..\..\build-windows\deploy"
#endif
#if OdbcDriver != "SQL Server" && !FileExists(AddBackslash(DeployDir) + "msodbcsql.msi")
  #error The build names another ODBC driver than Windows' own: put Microsoft's msodbcsql.msi in the deploy folder
#endif

[Setup]
; The same AppId in every later version, so that an update replaces this one.
AppId={{12595DFD-BE83-4200-972A-44092D20D8D6}
AppName={#AppName}
AppVersion={#AppVersion}
AppPublisher=Kelvory volunteers
DefaultDirName={autopf}\{#AppName}
DefaultGroupName={#AppName}
DisableProgramGroupPage=yes
PrivilegesRequired=admin
ArchitecturesAllowed=x64compatible
ArchitecturesInstallIn64BitMode=x64compatible
LicenseFile=..\..\LICENSE
OutputDir=.
OutputBaseFilename=kelvory-{#AppVersion}-setup
SetupIconFile=..\..\resources\kelvory.ico
UninstallDisplayIcon={app}\kelvory.exe
MinVersion=10.0
Compression=lzma2
SolidCompression=yes
WizardStyle=modern

[Tasks]
Name: desktopicon; Description: "{cm:CreateDesktopIcon}"; GroupDescription: "{cm:AdditionalIcons}"; Flags: unchecked

[Files]
; kelvory.exe with the Qt libraries and plugins windeployqt put beside it (the SQL
; drivers qsqlite and qsqlodbc among them), sqlite3.dll and, for an MSVC build, the
; Visual C++ run-time installer.
Source: "{#DeployDir}\*"; DestDir: "{app}"; Excludes: "vc_redist.*.exe,msodbcsql.msi"; Flags: ignoreversion recursesubdirs createallsubdirs
Source: "{#DeployDir}\vc_redist.x64.exe"; DestDir: "{tmp}"; Flags: deleteafterinstall skipifsourcedoesntexist
Source: "{#DeployDir}\msodbcsql.msi"; DestDir: "{tmp}"; Flags: deleteafterinstall skipifsourcedoesntexist

[Icons]
Name: "{group}\{#AppName}"; Filename: "{app}\kelvory.exe"
Name: "{autodesktop}\{#AppName}"; Filename: "{app}\kelvory.exe"; Tasks: desktopicon

[Run]
Filename: "{tmp}\vc_redist.x64.exe"; Parameters: "/install /quiet /norestart"; StatusMsg: "Installing the Visual C++ run time..."; Flags: waituntilterminated skipifdoesntexist
Filename: "msiexec.exe"; Parameters: "/i ""{tmp}\msodbcsql.msi"" /quiet /norestart IACCEPTMSODBCSQLLICENSETERMS=YES"; StatusMsg: "Installing {#OdbcDriver}..."; Flags: waituntilterminated skipifdoesntexist; Check: OdbcDriverMissing
Filename: "{app}\kelvory.exe"; Description: "{cm:LaunchProgram,{#AppName}}"; Flags: nowait postinstall skipifsilent runasoriginaluser

[Code]
// The 64-bit driver list, where "ODBC Data Sources (64-bit)" looks too.
function OdbcDriverMissing: Boolean;
begin
  Result := not RegKeyExists(HKLM64, 'SOFTWARE\ODBC\ODBCINST.INI\{#OdbcDriver}');
end;
