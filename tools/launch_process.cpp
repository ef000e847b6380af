#include "tools/launch_process.h"

#include <shellapi.h>
#include <shlobj.h>

#include "app/app_state.h"
#include "support/scoped_handle.h"

namespace Zentrava::Tools {

namespace {

HWND DefaultShellWindow() { return GetShellWindow(); }

bool DefaultSelfLauncher(const wchar_t* programPath) {
  HINSTANCE result =
      ShellExecuteW(nullptr, L"open", programPath, nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

ShellWindowProvider g_shellWindow = DefaultShellWindow;
BrowserPathProvider g_browserPath = nullptr;
SelfLauncher g_selfLauncher = DefaultSelfLauncher;

bool IsVistaOrLaterByVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwMajorVersion > 5;
}

// CreateProcessWithTokenW needs the quota privilege of the caller.
bool EnableIncreaseQuotaPrivilege() {
  ScopedHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, token.put())) return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueW(nullptr, L"SeIncreaseQuotaPrivilege", &privileges.Privileges[0].Luid))
    return false;
  AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  // Success with ERROR_NOT_ALL_ASSIGNED means the privilege is not held.
  return GetLastError() == ERROR_SUCCESS;
}

using CreateProcessWithTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                                               LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION);

// Vista and later only, so looked up at run time.
CreateProcessWithTokenFn FindCreateProcessWithToken() {
  HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
  if (!advapi) advapi = LoadLibraryW(L"advapi32.dll");
  if (!advapi) return nullptr;
  return reinterpret_cast<CreateProcessWithTokenFn>(
      reinterpret_cast<void*>(GetProcAddress(advapi, "CreateProcessWithTokenW")));
}

bool StartAsDesktopUser(wchar_t* commandLine, STARTUPINFOW* startup, PROCESS_INFORMATION* process) {
  if (!EnableIncreaseQuotaPrivilege()) return false;
  HWND shell = g_shellWindow();
  if (!shell) return false;
  DWORD shellProcessId = 0;
  GetWindowThreadProcessId(shell, &shellProcessId);
  if (shellProcessId == 0) return false;
  ScopedHandle shellProcess(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shellProcessId));
  if (!shellProcess) return false;
  ScopedHandle shellToken;
  if (!OpenProcessToken(shellProcess.get(), TOKEN_DUPLICATE, shellToken.put())) return false;
  ScopedHandle userToken;
  const DWORD access = TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                       TOKEN_ADJUST_SESSIONID;
  if (!DuplicateTokenEx(shellToken.get(), access, nullptr, SecurityImpersonation, TokenPrimary,
                        userToken.put()))
    return false;
  CreateProcessWithTokenFn createWithToken = FindCreateProcessWithToken();
  if (!createWithToken) return false;
  return createWithToken(userToken.get(), 0, nullptr, commandLine, 0, nullptr, nullptr, startup,
                         process) != FALSE;
}

}  // namespace

int LaunchProcess(const std::wstring& commandLine, bool wait, bool asDesktopUser) {
  if (commandLine.size() >= kLaunchCommandLineChars) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return -1;
  }
  // CreateProcessW may write into its command line, so it gets a copy.
  wchar_t buffer[kLaunchCommandLineChars] = {};
  commandLine.copy(buffer, commandLine.size());

  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  bool started;
  if (asDesktopUser && IsVistaOrLaterByVersion()) {
    started = StartAsDesktopUser(buffer, &startup, &process);
  } else {
    started = CreateProcessW(nullptr, buffer, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &process) != FALSE;
  }
  if (!started) return -1;

  ScopedHandle thread(process.hThread);
  ScopedHandle child(process.hProcess);
  if (wait) WaitForSingleObject(child.get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(child.get(), &exitCode) || exitCode == STILL_ACTIVE) exitCode = 0;
  return static_cast<int>(exitCode);
}

HRESULT OpenIEAsDesktopUser(const std::wstring& url) {
  const std::wstring browser = g_browserPath ? g_browserPath() : std::wstring();
  if (browser.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const std::wstring commandLine = L"\"" + browser + L"\" " + url;
  return LaunchProcess(commandLine, false, true) == 0 ? S_OK : E_FAIL;
}

BrowserPathProvider SetBrowserPathProvider(BrowserPathProvider provider) {
  BrowserPathProvider previous = g_browserPath;
  g_browserPath = provider;
  return previous;
}

void ShellOpenIE(const std::wstring& url) {
  LPITEMIDLIST folder = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, &folder)) || !folder)
    return;
  wchar_t path[1024] = {};
  BOOL found = SHGetPathFromIDListW(folder, path);
  CoTaskMemFree(folder);
  if (!found) return;
  // No trailing blank: the URL travels as the parameters, not in the path.
  const wchar_t kBrowser[] = L"\\Internet Explorer\\iexplore.exe";
  if (wcslen(path) + wcslen(kBrowser) >= 1024) return;
  wcscat(path, kBrowser);

  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.lpFile = path;
  info.lpParameters = url.c_str();
  info.nShow = SW_SHOW;
  if (ShellExecuteExW(&info) && info.hProcess) CloseHandle(info.hProcess);
}

void RestartSelf() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;

  App::ReleaseSingleInstance();
  if (!g_selfLauncher(path)) {
    // Nothing was started: keep this copy alive and hold the lock again.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, App::kSingleInstanceMutexName);
    if (mutex) {
      HANDLE previous = App::singleInstanceHandle.exchange(mutex);
      if (previous) CloseHandle(previous);
    }
    return;
  }
  // Set before the loop can end, so the exit path never sees a restart as a
  // plain quit and starts the tray program.
  App::restarting = true;
  App::EndMainLoop();
}

ShellWindowProvider SetShellWindowProviderForTesting(ShellWindowProvider provider) {
  ShellWindowProvider previous = g_shellWindow;
  g_shellWindow = provider ? provider : DefaultShellWindow;
  return previous;
}

SelfLauncher SetSelfLauncherForTesting(SelfLauncher launcher) {
  SelfLauncher previous = g_selfLauncher;
  g_selfLauncher = launcher ? launcher : DefaultSelfLauncher;
  return previous;
}

}  // namespace Zentrava::Tools
