#include "app/app_state.h"

namespace Zentrava::App {

std::atomic<UI::IBSDialog*> mainDialog{nullptr};
std::atomic<HANDLE> singleInstanceHandle{nullptr};
std::atomic<bool> running{true};
std::atomic<bool> restarting{false};
std::atomic<DWORD> mainThreadId{0};

void EndMainLoop() {
  DWORD mainThread = mainThreadId.load();
  running = false;
  if (mainThread == 0 || mainThread == GetCurrentThreadId()) {
    PostQuitMessage(0);
  } else {
    // A quit message posted here would only end this worker's queue.
    PostThreadMessageW(mainThread, WM_NULL, 0, 0);
  }
}

void ReleaseSingleInstance() {
  HANDLE held = singleInstanceHandle.exchange(nullptr);
  if (held) CloseHandle(held);
}

AppOptionTable::AppOptionTable() { InitializeCriticalSection(&lock_); }

AppOptionTable::~AppOptionTable() { DeleteCriticalSection(&lock_); }

std::int32_t AppOptionTable::Get(std::uint32_t option) {
  EnterCriticalSection(&lock_);
  std::int32_t value = values_[option];
  LeaveCriticalSection(&lock_);
  return value;
}

void AppOptionTable::Set(std::uint32_t option, std::int32_t value) {
  EnterCriticalSection(&lock_);
  values_[option] = value;
  LeaveCriticalSection(&lock_);
}

std::map<std::uint32_t, std::int32_t> AppOptionTable::Snapshot() {
  EnterCriticalSection(&lock_);
  std::map<std::uint32_t, std::int32_t> copy = values_;
  LeaveCriticalSection(&lock_);
  return copy;
}

AppOptionTable& AppOptions() {
  // Built on first use so that code running during static initialisation of
  // other files can already read options.
  static AppOptionTable table;
  return table;
}

void QuitApp() {
  ReleaseSingleInstance();
  EndMainLoop();
}

void AllowWindowMessage(UINT message, HWND window) {
  // Both filters are Vista and later: looked up so the program loads on XP.
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (!user32) user32 = LoadLibraryW(L"user32.dll");
  if (!user32) return;
  using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  using Filter = BOOL(WINAPI*)(UINT, DWORD);
  if (auto filterEx = reinterpret_cast<FilterEx>(
          reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
    filterEx(window, message, 1 /* MSGFLT_ALLOW */, nullptr);
  } else if (auto filter = reinterpret_cast<Filter>(
                 reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")))) {
    filter(message, 1 /* MSGFLT_ADD */);
  }
}

}  // namespace Zentrava::App
