@echo off
rem Kelvane verification kit. Runs this release's system tests and bench
rem scripts on this machine and writes verify-report.txt beside this file.
rem No installation, no administrator rights: everything stays in this folder
rem except drive D:, which the plug-in's host path needs
rem (D:\pellora_project\pellora\Config.ini): a free D: is mapped to work\ for
rem the run with subst; a D: that exists (maybe a real host's) is never touched.
rem VERIFY_TESTS (a GoogleTest filter) and VERIFY_SCRIPTS (bench script names)
rem narrow the run; the default is everything but HostEnvironment.* (which
rem checks that our Wine hosts are what they claim: 96 DPI, the C locale).
setlocal EnableExtensions EnableDelayedExpansion
cd /d "%~dp0"
set "KIT=%~dp0"
set "REPORT=%KIT%verify-report.txt"
set "RESULTS=%KIT%results"
set /p VERSION=<"%KIT%VERSION"
if not defined VERIFY_TESTS set "VERIFY_TESTS=-Cycles.*:HostEnvironment.*"
if not defined VERIFY_SCRIPTS set "VERIFY_SCRIPTS=demo faults job"
if not defined VERIFY_CYCLES set "VERIFY_CYCLES=yes"
if exist "%RESULTS%" rmdir /s /q "%RESULTS%"
mkdir "%RESULTS%"
if exist "%KIT%work" rmdir /s /q "%KIT%work"
mkdir "%KIT%work"
echo Kelvane %VERSION% verification: this takes 5 to 15 minutes; do not use the mouse meanwhile.

rem Drive D: for the run: the kit's work folder, known by a file of its own.
set "MAPPED="
set "SKIP="
set "DRIVE=D: mapped to the kit's work folder with subst"
echo Kelvane verification kit work folder>"%KIT%work\kelvane-verify-work.txt"
if exist D:\kelvane-verify-work.txt (
  set "DRIVE=D: was the kit's work folder already"
) else if exist D:\nul (
  set "SKIP=drive D: exists on this machine (the tests would use D:\pellora_project and D:\work); run the kit where D: is free, or map D: to this kit's work folder yourself"
) else (
  subst D: "%KIT%work" >"%RESULTS%\subst.txt" 2>&1
  if exist D:\kelvane-verify-work.txt (set "MAPPED=yes") else (set "SKIP=subst could not map drive D: to the kit's work folder (see results\subst.txt)")
)
if defined SKIP set "DRIVE=not mapped"

set "OVERALL=PASSED"
set "SUITES="
cd /d "%KIT%bin"
if defined SKIP (
  set "OVERALL=INCOMPLETE"
  call :line "system tests" "SKIPPED: !SKIP!"
  if /i "%VERIFY_CYCLES%"=="yes" call :line "cycles" "SKIPPED: !SKIP!"
  for %%s in (%VERIFY_SCRIPTS%) do call :line "bench %%s" "SKIPPED: !SKIP!"
  goto report
)
echo system tests...
kelvane_wine_tests.exe --gtest_filter=%VERIFY_TESTS% --gtest_output=xml:"%RESULTS%\system.xml" >"%RESULTS%\system.txt" 2>&1
call :suite "system tests" %ERRORLEVEL% "%RESULTS%\system.txt"
if /i "%VERIFY_CYCLES%"=="yes" (
  echo window and library cycles...
  kelvane_wine_tests.exe --gtest_filter=Cycles.* --gtest_output=xml:"%RESULTS%\cycles.xml" >"%RESULTS%\cycles.txt" 2>&1
  call :suite "cycles" !ERRORLEVEL! "%RESULTS%\cycles.txt"
)
for %%s in (%VERIFY_SCRIPTS%) do (
  echo bench script %%s...
  KelvaneBench.exe --script "%KIT%scripts\%%s.txt" --out "%RESULTS%\%%s" --work D:\bench-%%s >"%RESULTS%\bench-%%s.txt" 2>&1
  call :suite "bench %%s" !ERRORLEVEL! "%RESULTS%\bench-%%s.txt"
)
cd /d "%KIT%"
if defined MAPPED subst D: /d >nul 2>&1

:report
cd /d "%KIT%"
rem What this machine is (after the suites, so nothing of it runs beside them).
for /f "delims=" %%v in ('ver') do set "WINVER=%%v"
set "BITS=32-bit Windows"
if /i "%PROCESSOR_ARCHITECTURE%"=="AMD64" set "BITS=64-bit Windows"
if /i "%PROCESSOR_ARCHITECTURE%"=="ARM64" set "BITS=64-bit Windows (ARM64)"
if defined PROCESSOR_ARCHITEW6432 set "BITS=64-bit Windows (this script in its 32-bit command processor)"
set "DPI="
for /f "tokens=3" %%d in ('reg query "HKCU\Control Panel\Desktop\WindowMetrics" /v AppliedDPI 2^>nul ^| find "AppliedDPI"') do set /a DPI=%%d
if not defined DPI for /f "tokens=3" %%d in ('reg query "HKCU\Control Panel\Desktop" /v LogPixels 2^>nul ^| find "LogPixels"') do set /a DPI=%%d
if not defined DPI for /f "tokens=3" %%d in ('reg query "HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts" /v LogPixels 2^>nul ^| find "LogPixels"') do set /a DPI=%%d
if not defined DPI set "DPI=96 (the system default; no setting found)"
set "LOCALE="
for /f "tokens=3" %%l in ('reg query "HKCU\Control Panel\International" /v LocaleName 2^>nul ^| find "LocaleName"') do set "LOCALE=%%l"
for /f "tokens=3" %%l in ('reg query "HKCU\Control Panel\International" /v sDecimal 2^>nul ^| find "sDecimal"') do set "DECIMAL=%%l"
if not defined LOCALE set "LOCALE=unknown"
rem The security products the Security Center lists (client Windows only), as
rem it lists them: a product that is antivirus and firewall is named twice.
set "SECURITY="
for %%c in (AntiVirusProduct AntiSpywareProduct FirewallProduct) do (
  for /f "tokens=1,* delims==" %%a in ('wmic /namespace:\\root\SecurityCenter2 path %%c get displayName /value 2^>nul ^| find "="') do (
    rem wmic ends its lines with an extra carriage return: a second pass drops it.
    for /f "delims=" %%n in ("%%b") do call :addsecurity "%%n"
  )
)
rem Windows 11 24H2 and later have no wmic: PowerShell lists them there.
where wmic >nul 2>&1 || if exist "%SystemRoot%\System32\WindowsPowerShell\v1.0\powershell.exe" (
  for %%c in (AntiVirusProduct AntiSpywareProduct FirewallProduct) do (
    for /f "delims=" %%n in ('powershell -NoProfile -Command "Get-WmiObject -Namespace root\SecurityCenter2 -Class %%c -ErrorAction SilentlyContinue | ForEach-Object { $_.displayName }" 2^>nul') do call :addsecurity "%%n"
  )
)
if not defined SECURITY set "SECURITY=none listed (the Security Center lists none, or this Windows has none)"

type nul >"%REPORT%"
>>"%REPORT%" echo Kelvane %VERSION% verification report
>>"%REPORT%" echo.
>>"%REPORT%" echo Result:            !OVERALL!
>>"%REPORT%" echo Written:           %DATE% %TIME%
>>"%REPORT%" echo Computer:          %COMPUTERNAME%
>>"%REPORT%" echo Windows:           !WINVER!
>>"%REPORT%" echo Bitness:           !BITS!; the test programs and the plug-in are 32-bit
>>"%REPORT%" echo DPI:               !DPI!
>>"%REPORT%" echo Locale:            !LOCALE!, decimal separator "!DECIMAL!"
>>"%REPORT%" echo Security products: !SECURITY!
>>"%REPORT%" echo Kit folder:        %KIT%
>>"%REPORT%" echo Drive D:           !DRIVE!
>>"%REPORT%" echo.
>>"%REPORT%" echo Suites:
type "%RESULTS%\suites.txt" >>"%REPORT%"
>>"%REPORT%" echo.
>>"%REPORT%" echo What to send back: this file and the folder "results" ^(zipped^), to the
>>"%REPORT%" echo Kelvane developers, with the host's name and version and what else runs on
>>"%REPORT%" echo the machine. A FAILED suite names the failing tests in results\*.txt; the
>>"%REPORT%" echo bench scripts' journals and screenshots are in results\^<script^>\.
type "%REPORT%"
if "!OVERALL!"=="PASSED" exit /b 0
exit /b 1

rem :suite NAME EXITCODE OUTPUT - notes a suite's result
:suite
if "%~2"=="0" (
  call :line "%~1" "passed"
) else (
  call :line "%~1" "FAILED (exit code %~2; see %~3)"
  set "OVERALL=FAILED"
)
exit /b 0

:line
>>"%RESULTS%\suites.txt" echo   %~1: %~2
exit /b 0

rem :addsecurity NAME - adds a product's name to SECURITY
:addsecurity
if "%~1"=="" exit /b 0
if defined SECURITY (set "SECURITY=!SECURITY!; %~1") else (set "SECURITY=%~1")
exit /b 0
