// IsWow64Process and the redirection switch appeared in XP SP2 / XP x64, so
// they are looked up at run time: the program must still load on older XP.
#include "support/wow64.h"

#include <windows.h>

namespace Zentrava {
namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using Wow64DisableFn = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFn = BOOL(WINAPI*)(PVOID);

// The one process-wide saved value the redirection pair passes around.
PVOID g_savedRedirection = nullptr;

FARPROC Kernel32Function(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  // kernel32 is in every process; the load is a fallback that is never
  // freed, because the module must outlive the address taken from it.
  if (!kernel) kernel = LoadLibraryW(L"kernel32");
  if (!kernel) return nullptr;
  return GetProcAddress(kernel, name);
}

}  // namespace

bool IsWow64() {
  auto isWow64Process = reinterpret_cast<IsWow64ProcessFn>(Kernel32Function("IsWow64Process"));
  if (!isWow64Process) return false;
  BOOL wow64 = FALSE;
  if (!isWow64Process(GetCurrentProcess(), &wow64)) return false;
  return wow64 != FALSE;
}

bool DisableFsRedirection() {
  if (!IsWow64()) return false;
  auto disable =
      reinterpret_cast<Wow64DisableFn>(Kernel32Function("Wow64DisableWow64FsRedirection"));
  if (!disable) return false;
  return disable(&g_savedRedirection) != FALSE;
}

bool RevertFsRedirection() {
  if (!IsWow64()) return false;
  auto revert = reinterpret_cast<Wow64RevertFn>(Kernel32Function("Wow64RevertWow64FsRedirection"));
  if (!revert) return false;
  return revert(g_savedRedirection) != FALSE;
}

}  // namespace Zentrava
