@echo off
rem Runs acqsort.exe in this file's own folder, which must hold CONFIG and ACQ, shows how
rem the run ended and waits for a key, so that a double-click leaves the report on screen.
rem acqsort.exe is taken from beside this file, or else from the PATH.
setlocal
cd /d "%~dp0"
if exist "%~dp0acqsort.exe" (
  "%~dp0acqsort.exe"
) else (
  acqsort.exe
)
set status=%ERRORLEVEL%
echo.
if "%status%"=="0" (
  echo acqsort ended with status 0: the run is complete.
) else (
  echo acqsort ended with status %status%: see the lines above.
)
pause
exit /b %status%
