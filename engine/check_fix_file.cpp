#include "engine/check_fix_file.h"

#include <cstdlib>

#include "engine/check_file_entry.h"
#include "net/assistant_http.h"
#include "net/download_placement.h"
#include "support/file_util.h"

namespace Zentrava {
namespace Assistant {

namespace {

// The callback an installation run attached to the entry, if any.
Network::DownloadCallback EntryCallback(const ConfigEntry& entry, uintptr_t* para) {
  const std::string& callback = entry.attributes.Get("<downloadnotify>");
  *para = static_cast<uintptr_t>(strtoull(entry.attributes.Get("<para>").c_str(), nullptr, 10));
  if (callback.empty()) return nullptr;
  return reinterpret_cast<Network::DownloadCallback>(
      static_cast<uintptr_t>(strtoull(callback.c_str(), nullptr, 10)));
}

}  // namespace

int32_t CheckFixFile::Check(ConfigEntry& entry) {
  Wow64EntryGuard guard(entry);
  if (SkipsOnThisProcessor(entry)) return ResultPass;
  return CheckFileEntry(entry, ExpandEnvPath(Utf8ToWide(entry.text)));
}

int32_t CheckFixFile::Fix(ConfigEntry& entry) {
  std::wstring url = Utf8ToWide(ResolveConfigUrl(entry.attributes.Get("remote")));
  if (url.empty()) return ResultUnsupported;
  Wow64EntryGuard guard(entry);
  std::wstring target = ExpandEnvPath(Utf8ToWide(entry.text));
  if (target.empty()) return ResultFail;
  std::wstring temporary = target + L".download";

  Network::DownloadNotify notify;
  notify.url = url.c_str();
  notify.filePath = temporary.c_str();
  notify.callback = EntryCallback(entry, &notify.para);
  // A status of 400 or above is no failure to the agent but leaves no file;
  // a download left from an earlier run must not stand in for it.
  DeleteFileW(temporary.c_str());
  HRESULT hr = Network::g_assistantHttp.FetchFile(url, temporary, &notify);
  if (SUCCEEDED(hr)) hr = Network::MoveIntoPlace(temporary, target);
  return SUCCEEDED(hr) ? ResultPass : ResultFail;
}

}  // namespace Assistant
}  // namespace Zentrava
