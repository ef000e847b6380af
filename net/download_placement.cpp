#include "net/download_placement.h"

#include <windows.h>
#include <shlwapi.h>

#include <atomic>
#include <cmath>
#include <initializer_list>

#include "app/app_state.h"
#include "net/http_result.h"
#include "ui/bs_dialog.h"

namespace Zentrava {
namespace Network {

namespace {

std::atomic<int> g_currentItemIndex{-1};

bool IsReservedDeviceName(const std::wstring& name) {
  static const wchar_t* const kReserved[] = {
      L"CON",  L"PRN",  L"AUX",  L"NUL",  L"COM1", L"COM2", L"COM3", L"COM4", L"COM5",
      L"COM6", L"COM7", L"COM8", L"COM9", L"LPT1", L"LPT2", L"LPT3", L"LPT4", L"LPT5",
      L"LPT6", L"LPT7", L"LPT8", L"LPT9", L"CONIN$", L"CONOUT$"};
  // "nul.txt" opens the device just as "nul" does.
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (const wchar_t* reserved : kReserved)
    if (_wcsicmp(stem.c_str(), reserved) == 0) return true;
  return false;
}

std::wstring DownloadFolder() {
  wchar_t buffer[MAX_PATH] = {};
  if (App::GetAppOption(App::kOptionDownloadBesideProgram) != 0) {
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    if (!PathAppendW(buffer, L"..\\Download")) return std::wstring();
    CreateDirectoryW(buffer, nullptr);  // usually there already
  } else {
    DWORD n = GetTempPathW(MAX_PATH, buffer);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
  }
  std::wstring folder = buffer;
  if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

void CallSetProgress(int percent, int index, bool ok) {
  UI::IBSDialog* dialog = App::mainDialog.load();
  if (!dialog) return;
  // Invocation order: the page's last parameter comes first.
  VARIANT args[3];
  for (VARIANT& arg : args) VariantInit(&arg);
  args[2].vt = VT_INT;
  args[2].intVal = percent;
  args[1].vt = VT_INT;
  args[1].intVal = index;
  args[0].vt = VT_BOOL;
  args[0].boolVal = ok ? VARIANT_TRUE : VARIANT_FALSE;
  dialog->CallFunction(L"setProgress", args, 3, nullptr);
  for (VARIANT& arg : args) VariantClear(&arg);
}

// What a callback last sent to the page.
struct LastReport {
  std::atomic<int> percent{0};
  std::atomic<int> index{-1};
  std::atomic<bool> ok{true};
  std::atomic<bool> any{false};
};

LastReport g_lastUpdate;
LastReport g_lastInstall;

// Reports closer than 2 percent to the last one are dropped, except 0. The
// end of a download is never dropped: a failure, or the first 100 after a
// smaller value (99 followed by 100 would otherwise leave the page short of
// its "done" state). A 0 that repeats the last report exactly says nothing
// new: the first percent of a large file comes in hundreds of chunks.
bool WorthReporting(const DownloadProgress& record, const LastReport& last, int index) {
  // Each download fails at most once, and a retry that fails like the run
  // before must still end the page's "in progress" state.
  if (!record.ok) return true;
  int lastPercent = last.percent.load();
  if (record.percent == 0) {
    return !(last.any.load() && lastPercent == 0 && last.ok.load() && last.index.load() == index);
  }
  if (record.percent >= 100 && lastPercent < 100) return true;
  return std::fabs(static_cast<double>(record.percent) - static_cast<double>(lastPercent)) > 1.0;
}

void Remember(LastReport* last, int percent, int index, bool ok) {
  last->percent.store(percent);
  last->index.store(index);
  last->ok.store(ok);
  last->any.store(true);
}

}  // namespace

std::wstring DownloadFileName(const std::wstring& url) {
  std::wstring name = url.substr(url.find_last_of(L'/') + 1);
  // A query or fragment names no file; "?" cannot even be part of one.
  name = name.substr(0, name.find_first_of(L"?#"));
  // A backslash would let the name climb out of the folder ("..\..\x.exe").
  name = name.substr(name.find_last_of(L'\\') + 1);
  for (wchar_t& c : name) {
    // ":" would open an alternate stream of another name.
    if (c < 0x20 || wcschr(L"<>:\"|?*", c)) c = L'_';
  }
  // Windows drops trailing dots and blanks, so "x.exe." is "x.exe" and ".."
  // is no name at all.
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  if (name.empty()) return name;
  if (IsReservedDeviceName(name)) name.insert(0, 1, L'_');
  return name;
}

std::wstring DownloadPath(const wchar_t* url) {
  if (!url) return std::wstring();
  std::wstring name = DownloadFileName(url);
  if (name.empty()) return std::wstring();
  std::wstring folder = DownloadFolder();
  if (folder.empty()) return std::wstring();
  std::wstring path = folder + L"\\" + name;
  // A shortened name could be another file; the path limit is the program's.
  if (path.size() >= MAX_PATH) return std::wstring();
  return path;
}

HRESULT MoveIntoPlace(const std::wstring& source, const std::wstring& target) {
  if (!PathFileExistsW(source.c_str())) return E_FAIL;
  std::wstring old;
  if (PathFileExistsW(target.c_str()) && !DeleteFileW(target.c_str())) {
    // In use, as the running program is: such a file can still be renamed.
    old = target + L".old";
    DeleteFileW(old.c_str());
    if (!MoveFileW(target.c_str(), old.c_str())) {
      // The target stays where it is until the next reboot, when it is
      // replaced; without REPLACE_EXISTING that rename would fail then.
      if (!MoveFileExW(source.c_str(), target.c_str(),
                       MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
        return LastErrorResult();
      return S_FALSE;
    }
  }
  if (!MoveFileW(source.c_str(), target.c_str())) {
    HRESULT hr = LastErrorResult();
    // Put the old file back rather than leave nothing under its name.
    if (!old.empty()) MoveFileW(old.c_str(), target.c_str());
    return hr;
  }
  if (!old.empty()) MoveFileExW(old.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return S_OK;
}

bool UpdateProgress(const DownloadProgress* record) {
  if (!record) return true;
  if (!WorthReporting(*record, g_lastUpdate, -1)) return true;
  CallSetProgress(record->percent, -1, record->ok);
  Remember(&g_lastUpdate, record->percent, -1, record->ok);
  return true;
}

bool InstallProgress(const DownloadProgress* record) {
  if (!record) return true;
  int index = g_currentItemIndex.load();
  if (!WorthReporting(*record, g_lastInstall, index)) return true;
  int last = g_lastInstall.percent.load();
  int reported = record->percent < 0 && last > 0 ? 100 : record->percent;
  CallSetProgress(reported, index, record->ok);
  Remember(&g_lastInstall, reported, index, record->ok);
  return true;
}

void SetCurrentItemIndex(int index) { g_currentItemIndex.store(index); }
int CurrentItemIndex() { return g_currentItemIndex.load(); }

void ResetProgressMemory() {
  for (LastReport* last : {&g_lastUpdate, &g_lastInstall}) {
    Remember(last, 0, -1, true);
    last->any.store(false);
  }
  g_currentItemIndex.store(-1);
}

}  // namespace Network
}  // namespace Zentrava
