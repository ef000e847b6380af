// Process-wide state of the running assistant: the one dialog, the
// single-instance lock, the two loop switches and the option table, plus the
// two process operations (quitting, opening the message filter) that the
// dialog, the USB watcher and the script commands share.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>

namespace Zentrava::UI {
class IBSDialog;
}

namespace Zentrava::App {

// The dialog created at start-up; page callbacks and commands reach the page
// through it. Set once on the main thread before the message loop and cleared
// (before the dialog is freed) when the loop has ended, so a worker that is
// still running at exit finds none instead of a freed object.
extern std::atomic<UI::IBSDialog*> mainDialog;

// The named mutex held from start-up until quit, restart or exit. Whoever
// closes it takes it out with an exchange first, so it is closed exactly once
// whichever thread quits.
extern std::atomic<HANDLE> singleInstanceHandle;

// Name of the single-instance mutex. No namespace prefix: one copy per logon
// session.
inline constexpr wchar_t kSingleInstanceMutexName[] = L"8BA5E6E4-17BA-4366-A7AB-E940CEB913D6";

// The main loop continues while set; a one-way switch from true to false.
extern std::atomic<bool> running;

// Set when the program relaunches itself; suppresses the tray launch at exit.
extern std::atomic<bool> restarting;

// Id of the main (dialog) thread, set at start-up; 0 until then.
extern std::atomic<DWORD> mainThreadId;

// Ends the main message loop from any thread: on the main thread (or before
// start-up has named it) by posting the quit message, elsewhere by clearing
// `running` and waking the main thread so the loop sees the flag at once
// instead of at some later message. `running` is cleared in both cases.
void EndMainLoop();

// Closes the single-instance mutex if it is still held and forgets it. Safe to
// call from any thread any number of times.
void ReleaseSingleInstance();

// Option numbers of the compile-time option table.
enum AppOption : std::uint32_t {
  kOptionKeepConfigCopy = 1000,    // keep a local copy of the configuration and fall back to it
  kOptionIgnoreCertErrors = 1001,  // the HTTP agent ignores server certificate errors
  kOptionEncryptedConfig = 1002,   // the configuration document arrives enciphered
  kOptionDownloadBesideProgram = 1004,  // downloads go to "..\Download" relative to the program
};

// Ordered map from option number to value. Reading an option that was never
// written inserts it with 0 and yields 0. Commands read it from several
// threads at once, so every access is serialised.
class AppOptionTable {
 public:
  AppOptionTable();
  ~AppOptionTable();
  AppOptionTable(const AppOptionTable&) = delete;
  AppOptionTable& operator=(const AppOptionTable&) = delete;

  std::int32_t Get(std::uint32_t option);
  void Set(std::uint32_t option, std::int32_t value);
  // Copy of the whole table, for diagnostics and tests.
  std::map<std::uint32_t, std::int32_t> Snapshot();

 private:
  CRITICAL_SECTION lock_;
  std::map<std::uint32_t, std::int32_t> values_;
};

// The process's option table.
AppOptionTable& AppOptions();

// Shorthand for AppOptions().Get(option).
inline std::int32_t GetAppOption(std::uint32_t option) { return AppOptions().Get(option); }

// Releases the single-instance lock and ends the main loop (EndMainLoop).
void QuitApp();

// Lets `message` through the user-interface privilege filter for `window`
// (ChangeWindowMessageFilterEx, else ChangeWindowMessageFilter; nothing
// before Vista). Results are ignored.
void AllowWindowMessage(UINT message, HWND window);

}  // namespace Zentrava::App
