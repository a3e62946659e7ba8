@echo off
rem Runs acqsort.exe in this file's own folder, which must hold CONFIG and ACQ, shows how
rem the run ended and waits for a key, so that a double-click leaves the report on screen.
rem acqsort.exe is taken from beside this file, or else from the PATH. No path is echoed
rem inside parentheses: a folder such as "Program Files (x86)" would end the block.
setlocal
rem pushd, not cd: a folder on a network share (\\server\share\...) gets a drive letter for
rem the run, which cmd needs as its current folder; cd /d would leave it elsewhere. Its
rem failure is read from ERRORLEVEL, set to 0 first (by ver), as every cmd sets that.
ver > nul
pushd "%~dp0"
if errorlevel 1 goto no_folder
set "tool=%~dp0acqsort.exe"
if not exist "%tool%" set "tool="
if not defined tool for %%f in (acqsort.exe) do set "tool=%%~$PATH:f"
if not defined tool goto no_tool
"%tool%"
set status=%ERRORLEVEL%
popd
echo.
if "%status%"=="0" (
  echo acqsort ended with status 0: the run is complete.
) else (
  echo acqsort ended with status %status%: see the lines above.
)
pause
exit /b %status%

:no_folder
echo acqsort-run: the folder %~dp0 can't be entered, so acqsort was not started.
pause
exit /b 1

:no_tool
popd
echo acqsort-run: there is no acqsort.exe beside this file, in %~dp0, nor in a folder of
echo the PATH, so acqsort was not started. Copy acqsort.exe here, or add the folder that
echo holds it to the PATH.
pause
exit /b 1
