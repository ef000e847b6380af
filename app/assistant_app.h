// The application object and the little framework it stands on: one object
// per process, constructed during static initialisation, whose InitInstance
// runs the whole life of the program and returns false so the process ends
// as soon as it returns.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava::App {

// The framework part: the instance handle, the registry root of the profile
// and the entry from wWinMain.
class CAppFramework {
 public:
  CAppFramework();
  virtual ~CAppFramework();
  CAppFramework(const CAppFramework&) = delete;
  CAppFramework& operator=(const CAppFramework&) = delete;

  // Called by wWinMain. Runs InitInstance; when it returns TRUE a plain
  // message loop follows. Returns the process exit code (ExitInstance).
  int Run(HINSTANCE instance);

  virtual BOOL InitInstance() = 0;
  virtual int ExitInstance() { return 0; }

  HINSTANCE instance() const { return instance_; }

  // Profile functions in registry mode (HKCU\software\<root>\<program>).
  void SetRegistryKey(const wchar_t* registryRoot);
  int GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) const;
  std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry,
                                const wchar_t* defaultValue) const;
  bool WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value) const;
  bool WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value) const;

  // The one application object of the process, or null.
  static CAppFramework* Current();

 private:
  HINSTANCE instance_ = nullptr;
};

class CAssistantApp : public CAppFramework {
 public:
  // The whole program: start-up, the dialog, the message loop, the exit
  // path. Always FALSE.
  BOOL InitInstance() override;

  // "AppPath", the single-instance lock, the crypto registrations and COM.
  // Negative when the program must end (another copy runs, COM failed).
  HRESULT InitProcessEnvironment();

  // 1 when another instance holds the lock, 0 when this process holds it,
  // negative on error.
  HRESULT AcquireSingleInstance();

  // The application's message loop; ends on the quit message or, between
  // messages, when `running` has been cleared.
  void RunMessageLoop();

 private:
  void StartTrayCompanion();
};

// The tray companion's command line for a program at `programPath`:
//   "<folder>\HarbeckSysTray.exe" <program file name> 103 102 199 <processId>
// 103, 102 and 199 are resource numbers (launch caption, title, icon) inside
// the assistant's file. The fourth number is the assistant's process id: the
// assistant still holds its single-instance lock while it starts the
// companion, so a companion that opens the assistant again must first wait
// for that process to end. A path without a backslash is returned unchanged.
std::wstring BuildTrayCommandLine(const std::wstring& programPath, DWORD processId);

// Environment variable that bounds a run: when it holds a positive number of
// seconds the program quits by itself after that time (headless smoke runs).
inline constexpr wchar_t kExitAfterSecondsVariable[] = L"ZENTRAVA_EXIT_AFTER_SECONDS";

}  // namespace Zentrava::App
