// Starting other processes from the (elevated) assistant, either as itself or
// as the user who owns the desktop shell, and relaunching the assistant.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava::Tools {

// Room for the command line of LaunchProcess, terminating zero included.
// Longer command lines are refused rather than cut, since a cut line would
// start something else than asked.
inline constexpr size_t kLaunchCommandLineChars = 520;

// Starts `commandLine`. With `asDesktopUser` on Vista and later the process
// gets a copy of the desktop shell's token (the user's ordinary rights); there
// is no fallback to an elevated start. Returns -1 when nothing was started,
// otherwise the exit code (0 while the process still runs; with `wait` the
// call blocks until it has ended).
int LaunchProcess(const std::wstring& commandLine, bool wait, bool asDesktopUser);

// Opens `url` in Internet Explorer with the desktop user's ordinary rights
// (LaunchProcess as desktop user, not waiting). 0 on success, E_FAIL when the
// launch failed, 0x80070002 when no browser path is known.
HRESULT OpenIEAsDesktopUser(const std::wstring& url);

// Supplies the browser's full path for OpenIEAsDesktopUser; the program
// installs the system inspection's lookup at start-up. Returns the previous
// provider; null means none (no browser path is known).
using BrowserPathProvider = std::wstring (*)();
BrowserPathProvider SetBrowserPathProvider(BrowserPathProvider provider);

// Opens `url` in the Internet Explorer of the Program Files folder through
// the shell; the browser runs with the program's own (elevated) rights.
// Nothing is reported.
void ShellOpenIE(const std::wstring& url);

// Relaunches the program: releases the single-instance lock so the new copy
// can start, opens the program's own file through the shell, sets the
// restarting flag (so no tray program is started on the way out) and ends the
// main loop (App::EndMainLoop). When the shell cannot start the
// new copy the lock is taken back and the program keeps running, rather than
// vanishing.
void RestartSelf();

// ---- Seams for tests ------------------------------------------------------

// Supplies the desktop shell's window (GetShellWindow by default). Returns the
// previous provider; null restores the default.
using ShellWindowProvider = HWND (*)();
ShellWindowProvider SetShellWindowProviderForTesting(ShellWindowProvider provider);

// Opens the program file for RestartSelf (ShellExecuteW "open" by default);
// returns true when a new copy was started. Null restores the default.
using SelfLauncher = bool (*)(const wchar_t* programPath);
SelfLauncher SetSelfLauncherForTesting(SelfLauncher launcher);

}  // namespace Zentrava::Tools
