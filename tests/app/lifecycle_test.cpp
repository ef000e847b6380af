// Start and end of the program: the single-instance lock, the process
// environment, quitting and restarting from any thread, the tray command line
// and process launching; and the built program itself, started twice.
#include "app/assistant_app.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/app_state.h"
#include "app/settings_store.h"
#include "support/scoped_handle.h"
#include "testkit/scratch_dir.h"
#include "tools/launch_process.h"

namespace {

using namespace Zentrava::App;
using Zentrava::ScopedHandle;
using Zentrava::Tools::LaunchProcess;

// Build paths arrive as Linux paths; Wine shows them on drive Z:.
std::wstring WindowsPath(const char* built) {
  std::wstring path(built, built + strlen(built));
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path[0] == L'\\' ? L"Z:" + path : path;
}

std::wstring ChildProbe() { return WindowsPath(CHILD_PROBE_EXE_PATH); }

std::wstring Quoted(const std::wstring& s) { return L"\"" + s + L"\""; }

void DrainQuitMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(TrayCommandLineTest, CompanionBesideTheProgramWithItsNumbers) {
  EXPECT_EQ(BuildTrayCommandLine(L"C:\\Program Files\\Assist\\assist.exe", 4242),
            L"\"C:\\Program Files\\Assist\\HarbeckSysTray.exe\" assist.exe 103 102 199 4242");
  EXPECT_EQ(BuildTrayCommandLine(L"C:\\a.exe", 1), L"\"C:\\HarbeckSysTray.exe\" a.exe 103 102 199 1");
  EXPECT_EQ(BuildTrayCommandLine(L"assist.exe", 7), L"assist.exe");
}

TEST(AppOptionsTest, UnwrittenOptionsReadAsZeroAndAreInserted) {
  AppOptionTable table;
  EXPECT_EQ(table.Get(kOptionIgnoreCertErrors), 0);
  EXPECT_EQ(table.Get(kOptionEncryptedConfig), 0);
  table.Set(kOptionDownloadBesideProgram, 1);
  EXPECT_EQ(table.Get(kOptionDownloadBesideProgram), 1);
  EXPECT_EQ(table.Snapshot().size(), 3u);
}

TEST(SingleInstanceTest, SecondHolderIsRefusedAndReleasesItsHandle) {
  CAssistantApp app;
  EXPECT_EQ(app.AcquireSingleInstance(), 0);
  HANDLE first = singleInstanceHandle.exchange(nullptr);
  ASSERT_NE(first, nullptr);

  EXPECT_EQ(app.AcquireSingleInstance(), 1);
  ReleaseSingleInstance();
  EXPECT_EQ(app.InitProcessEnvironment(), HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(singleInstanceHandle.load(), nullptr);
  CloseHandle(first);

  // With the lock free again the environment is set up: "AppPath" is the
  // program's folder without a trailing backslash.
  HRESULT hr = app.InitProcessEnvironment();
  EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << std::hex << hr;
  EXPECT_NE(singleInstanceHandle.load(), nullptr);
  wchar_t module[MAX_PATH], appPath[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder(module);
  folder.resize(folder.rfind(L'\\'));
  ASSERT_GT(GetEnvironmentVariableW(L"AppPath", appPath, MAX_PATH), 0u);
  EXPECT_EQ(std::wstring(appPath), folder);
  if (SUCCEEDED(hr)) OleUninitialize();
  ReleaseSingleInstance();
}

class QuitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    running = true;
    restarting = false;
    mainThreadId = GetCurrentThreadId();
    singleInstanceHandle = CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName);
  }
  void TearDown() override {
    ReleaseSingleInstance();
    Zentrava::Tools::SetSelfLauncherForTesting(nullptr);
    running = true;
    restarting = false;
    mainThreadId = 0;
    DrainQuitMessages();
  }
};

TEST_F(QuitTest, QuitFromAWorkerWakesTheMainLoop) {
  // The thread's queue must exist before the worker posts to it.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  std::thread worker([] { QuitApp(); });
  worker.join();
  EXPECT_FALSE(running);
  EXPECT_EQ(singleInstanceHandle.load(), nullptr);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_NULL));

  // The lock is free: another copy would start now.
  ScopedHandle other(CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName));
  EXPECT_EQ(GetLastError(), 0u);
}

TEST_F(QuitTest, QuitOnTheMainThreadPostsTheQuitMessage) {
  QuitApp();
  QuitApp();  // a second quit finds nothing left to close
  EXPECT_FALSE(running);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

bool g_lockFreeWhileLaunching = false;
std::wstring g_launchedPath;

TEST_F(QuitTest, RestartStartsTheNewCopyWithoutTheLock) {
  Zentrava::Tools::SetSelfLauncherForTesting([](const wchar_t* path) {
    g_launchedPath = path;
    g_lockFreeWhileLaunching = singleInstanceHandle.load() == nullptr;
    return true;
  });
  Zentrava::Tools::RestartSelf();
  wchar_t module[MAX_PATH];
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  EXPECT_EQ(g_launchedPath, module);
  EXPECT_TRUE(g_lockFreeWhileLaunching);
  EXPECT_TRUE(restarting);
  EXPECT_FALSE(running);
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(QuitTest, FailedRestartKeepsTheProgramAndItsLock) {
  Zentrava::Tools::SetSelfLauncherForTesting([](const wchar_t*) { return false; });
  Zentrava::Tools::RestartSelf();
  EXPECT_TRUE(running);
  EXPECT_FALSE(restarting);
  EXPECT_NE(singleInstanceHandle.load(), nullptr);
  ScopedHandle other(CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST(LaunchProcessTest, ExitCodesWaitingAndRefusals) {
  const std::wstring probe = Quoted(ChildProbe());
  EXPECT_EQ(LaunchProcess(probe + L" --exit 7", true, false), 7);
  EXPECT_EQ(LaunchProcess(probe + L" --exit 259", true, false), 0);  // STILL_ACTIVE
  EXPECT_EQ(LaunchProcess(probe + L" --sleep 3000", false, false), 0);
  EXPECT_EQ(LaunchProcess(L"\"C:\\no\\such\\program.exe\"", true, false), -1);
  std::wstring tooLong = probe + L" --exit 1 " + std::wstring(520, L'x');
  EXPECT_EQ(LaunchProcess(tooLong, true, false), -1);
}

HWND g_shellStandIn = nullptr;

TEST(LaunchProcessTest, DesktopUserLaunchUsesTheShellsToken) {
  // A window of this process stands in for the shell, whose token is then
  // this process's own.
  g_shellStandIn = CreateWindowExW(0, L"STATIC", L"shell", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   nullptr, nullptr);
  ASSERT_NE(g_shellStandIn, nullptr);
  auto previous = Zentrava::Tools::SetShellWindowProviderForTesting([] { return g_shellStandIn; });
  EXPECT_EQ(LaunchProcess(Quoted(ChildProbe()) + L" --exit 5", true, true), 5);
  Zentrava::Tools::SetShellWindowProviderForTesting([]() -> HWND { return nullptr; });
  EXPECT_EQ(LaunchProcess(Quoted(ChildProbe()) + L" --exit 5", true, true), -1);
  Zentrava::Tools::SetShellWindowProviderForTesting(previous);
  DestroyWindow(g_shellStandIn);
}

std::wstring g_browser;

TEST(LaunchProcessTest, BrowserOpensAsDesktopUserWithTheUrlUnquoted) {
  testkit::ScratchDir scratch;
  g_browser = scratch.File(L"iexplore.exe");
  ASSERT_TRUE(CopyFileW(ChildProbe().c_str(), g_browser.c_str(), FALSE));
  EXPECT_EQ(Zentrava::Tools::OpenIEAsDesktopUser(L"http://a/"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  g_shellStandIn = CreateWindowExW(0, L"STATIC", L"shell", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   nullptr, nullptr);
  auto previousShell =
      Zentrava::Tools::SetShellWindowProviderForTesting([] { return g_shellStandIn; });
  auto previousBrowser = Zentrava::Tools::SetBrowserPathProvider([] { return g_browser; });
  EXPECT_EQ(Zentrava::Tools::OpenIEAsDesktopUser(L"http://bank.example/a b?x=1"), S_OK);
  std::string bytes;
  for (int i = 0; i < 100 && bytes.empty(); ++i) {
    Sleep(100);
    testkit::ReadFileBytes(scratch.File(L"iexplore.txt"), &bytes);
  }
  std::wstring record(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  EXPECT_EQ(record.substr(0, record.find(L'\n')), Quoted(g_browser) + L" http://bank.example/a b?x=1");

  Zentrava::Tools::SetShellWindowProviderForTesting([]() -> HWND { return nullptr; });
  EXPECT_EQ(Zentrava::Tools::OpenIEAsDesktopUser(L"http://a/"), E_FAIL);
  Zentrava::Tools::SetShellWindowProviderForTesting(previousShell);
  Zentrava::Tools::SetBrowserPathProvider(previousBrowser);
  DestroyWindow(g_shellStandIn);
}

// ---- The built program ----------------------------------------------------

struct FoundWindow {
  DWORD processId;
  HWND window;
};

BOOL CALLBACK FindVisibleWindowOf(HWND window, LPARAM param) {
  auto* found = reinterpret_cast<FoundWindow*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == found->processId && IsWindowVisible(window)) {
    found->window = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindowOf(DWORD processId, HANDLE process, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
    FoundWindow found{processId, nullptr};
    EnumWindows(FindVisibleWindowOf, reinterpret_cast<LPARAM>(&found));
    if (found.window) return found.window;
    if (WaitForSingleObject(process, 100) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = scratch_.File(L"assist.exe");
    ASSERT_TRUE(CopyFileW(WindowsPath(ASSISTANT_EXE_PATH).c_str(), program_.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(ChildProbe().c_str(), scratch_.File(L"HarbeckSysTray.exe").c_str(), FALSE));
  }

  // Starts the copy; returns its process information (handles owned by the
  // caller through the two owners).
  bool Start(ScopedHandle* process, DWORD* processId) {
    std::wstring line = Quoted(program_);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
      return false;
    CloseHandle(info.hThread);
    process->reset(info.hProcess);
    *processId = info.dwProcessId;
    return true;
  }

  void SetCloseType(int value) {
    SettingsStore(L"Zentrava", L"assist").WriteProfileInt(L"Settings", L"CloseType", value);
  }

  testkit::ScratchDir scratch_;
  std::wstring program_;
};

TEST_F(ProgramTest, SecondCopyEndsSilentlyAndClosingStartsTheTray) {
  SetCloseType(1);
  ScopedHandle first, second;
  DWORD firstId = 0, secondId = 0;
  ASSERT_TRUE(Start(&first, &firstId));
  HWND window = WaitForWindowOf(firstId, first.get(), 60000);
  ASSERT_NE(window, nullptr) << "the program showed no window";
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  EXPECT_STREQ(title, L"网银助手");

  ASSERT_TRUE(Start(&second, &secondId));
  ASSERT_EQ(WaitForSingleObject(second.get(), 30000), WAIT_OBJECT_0) << "second copy kept running";
  EXPECT_EQ(WaitForSingleObject(first.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(testkit::FileExists(scratch_.File(L"HarbeckSysTray.txt")));

  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(first.get(), 30000), WAIT_OBJECT_0) << "closing did not end it";

  std::string bytes;
  for (int i = 0; i < 100 && !testkit::ReadFileBytes(scratch_.File(L"HarbeckSysTray.txt"), &bytes); ++i)
    Sleep(100);
  for (int i = 0; i < 20 && bytes.empty(); ++i) {
    Sleep(100);
    testkit::ReadFileBytes(scratch_.File(L"HarbeckSysTray.txt"), &bytes);
  }
  std::wstring record(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  std::wstring expected = Quoted(scratch_.File(L"HarbeckSysTray.exe")) + L" assist.exe 103 102 199 " +
                          std::to_wstring(firstId) + L"\n" + scratch_.path();
  EXPECT_EQ(record, expected);
}

TEST_F(ProgramTest, BoundedRunQuitsWithoutTheTrayWhenCloseTypeIsZero) {
  SetCloseType(0);
  SetEnvironmentVariableW(kExitAfterSecondsVariable, L"3");
  ScopedHandle process;
  DWORD processId = 0;
  bool started = Start(&process, &processId);
  SetEnvironmentVariableW(kExitAfterSecondsVariable, nullptr);
  ASSERT_TRUE(started);
  EXPECT_NE(WaitForWindowOf(processId, process.get(), 60000), nullptr);
  ASSERT_EQ(WaitForSingleObject(process.get(), 60000), WAIT_OBJECT_0);
  Sleep(500);
  EXPECT_FALSE(testkit::FileExists(scratch_.File(L"HarbeckSysTray.txt")));
  // The lock went with it.
  ScopedHandle lock(CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName));
  EXPECT_EQ(GetLastError(), 0u);
}

}  // namespace
