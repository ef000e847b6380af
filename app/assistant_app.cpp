#include "app/assistant_app.h"

#include <commctrl.h>
#include <ole2.h>
#include <shlwapi.h>

#include <openssl/evp.h>

#include <cwchar>

#include "app/app_messages.h"
#include "app/app_profile.h"
#include "app/app_state.h"
#include "app/script_dispatcher.h"
#include "resources/resource.h"
#include "tools/launch_process.h"
#include "ui/bs_dialog.h"
#include "ui/new_window.h"

namespace Zentrava::App {

namespace {

CAppFramework* g_current = nullptr;

constexpr wchar_t kTrayProgram[] = L"HarbeckSysTray.exe";

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::wstring();
  return std::wstring(path, length);
}

void SetAppPathVariable() {
  wchar_t folder[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, folder, MAX_PATH);
  folder[MAX_PATH - 1] = L'\0';
  PathAppendW(folder, L"..");  // drops the file name and its backslash
  SetEnvironmentVariableW(L"AppPath", folder);
}

void RegisterCryptoAlgorithms() {
  EVP_add_cipher(EVP_aes_256_cbc());
  EVP_add_digest(EVP_md4());
  EVP_add_digest(EVP_md5());
  EVP_add_digest(EVP_sha1());
  EVP_add_digest(EVP_sha256());
}

HRESULT OpenInBrowserAsDesktopUser(LPCWSTR url) {
  return Tools::OpenIEAsDesktopUser(url ? url : L"");
}

void CALLBACK ExitAfterTimeout(HWND, UINT, UINT_PTR, DWORD) { QuitApp(); }

// Arms the bounded-run timer when the environment asks for one.
void ArmExitTimer() {
  wchar_t text[32] = {};
  DWORD length = GetEnvironmentVariableW(kExitAfterSecondsVariable, text, 32);
  if (length == 0 || length >= 32) return;
  long seconds = std::wcstol(text, nullptr, 10);
  if (seconds <= 0 || seconds > 24 * 3600) return;
  SetTimer(nullptr, 0, static_cast<UINT>(seconds * 1000), ExitAfterTimeout);
}

}  // namespace

// ---- CAppFramework ---------------------------------------------------------

CAppFramework::CAppFramework() { g_current = this; }

CAppFramework::~CAppFramework() {
  if (g_current == this) g_current = nullptr;
}

CAppFramework* CAppFramework::Current() { return g_current; }

int CAppFramework::Run(HINSTANCE instance) {
  instance_ = instance;
  if (InitInstance()) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return ExitInstance();
}

void CAppFramework::SetRegistryKey(const wchar_t* registryRoot) {
  App::SetRegistryKey(registryRoot);
}

int CAppFramework::GetProfileInt(const wchar_t* section, const wchar_t* entry,
                                 int defaultValue) const {
  return App::GetProfileInt(section, entry, defaultValue);
}

std::wstring CAppFramework::GetProfileString(const wchar_t* section, const wchar_t* entry,
                                             const wchar_t* defaultValue) const {
  return App::GetProfileString(section, entry, defaultValue);
}

bool CAppFramework::WriteProfileInt(const wchar_t* section, const wchar_t* entry,
                                    int value) const {
  return App::WriteProfileInt(section, entry, value);
}

bool CAppFramework::WriteProfileString(const wchar_t* section, const wchar_t* entry,
                                       const wchar_t* value) const {
  return App::WriteProfileString(section, entry, value);
}

// ---- CAssistantApp ---------------------------------------------------------

BOOL CAssistantApp::InitInstance() {
  mainThreadId = GetCurrentThreadId();

  INITCOMMONCONTROLSEX controls = {sizeof(controls), 0xFF};
  InitCommonControlsEx(&controls);

  SetRegistryKey(L"Zentrava");

  // A second copy, or a process without COM, ends here without a word.
  if (FAILED(InitProcessEnvironment())) return FALSE;

  AppOptions().Set(kOptionDownloadBesideProgram, 1);
  AppOptions().Set(kOptionKeepConfigCopy, 0);

  // Links that ask for a new window open in the user's own browser.
  UI::SetNewWindowOpener(OpenInBrowserAsDesktopUser);

  const std::wstring title = ProgramTitle();
  UI::BSDialogParams params;
  params.title = title.c_str();
  params.caption = false;
  params.icon = LoadIconW(instance(), MAKEINTRESOURCEW(IDI_MAIN));
  params.htmlResourceId = IDR_PAGE;
  params.scriptCallback = OnScriptCall;

  UI::IBSDialog* dialog = UI::CreateBSDialog(&params);
  if (dialog) {
    mainDialog = dialog;
    ShowWindow(dialog->GetHwnd(), SW_SHOW);
    ArmExitTimer();
    RunMessageLoop();
    // Page callbacks from workers still running find no dialog from now on.
    mainDialog = nullptr;
    UI::DestroyBSDialog(dialog);
  }

  StartTrayCompanion();

  EVP_cleanup();
  ReleaseSingleInstance();
  OleUninitialize();
  return FALSE;
}

HRESULT CAssistantApp::InitProcessEnvironment() {
  SetAppPathVariable();

  HRESULT hr = AcquireSingleInstance();
  if (hr == 1) {
    ReleaseSingleInstance();
    return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
  }
  if (FAILED(hr)) return hr;

  RegisterCryptoAlgorithms();

  // OLE rather than bare COM: the browser control needs the clipboard and
  // drag-and-drop parts of OLE on this thread. Both give the single-threaded
  // apartment.
  return OleInitialize(nullptr);
}

HRESULT CAssistantApp::AcquireSingleInstance() {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kSingleInstanceMutexName);
  const DWORD error = GetLastError();
  if (!mutex) {
    if (error == ERROR_INVALID_HANDLE) return E_INVALIDARG;
    return HRESULT_FROM_WIN32(error);
  }
  HANDLE previous = singleInstanceHandle.exchange(mutex);
  if (previous) CloseHandle(previous);
  return error == ERROR_ALREADY_EXISTS ? 1 : 0;
}

void CAssistantApp::RunMessageLoop() {
  MSG msg;
  while (running) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) continue;
    if (got == 0) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void CAssistantApp::StartTrayCompanion() {
  if (GetProfileInt(kSettingsSection, L"CloseType", 0) != 1 || restarting) return;
  const std::wstring path = ModulePath();
  if (path.empty()) return;
  Tools::LaunchProcess(BuildTrayCommandLine(path, GetCurrentProcessId()), false, false);
}

std::wstring BuildTrayCommandLine(const std::wstring& programPath, DWORD processId) {
  std::wstring line = programPath;
  const size_t slash = line.rfind(L'\\');
  if (slash == std::wstring::npos) return line;
  line.insert(slash + 1, std::wstring(kTrayProgram) + L"\" ");
  line.insert(0, 1, L'"');
  wchar_t numbers[64] = {};
  swprintf(numbers, 64, L" %d %d %d %lu", IDS_LAUNCH_CAPTION, IDS_APP_TITLE, IDI_MAIN,
           static_cast<unsigned long>(processId));
  line += numbers;
  return line;
}

}  // namespace Zentrava::App
