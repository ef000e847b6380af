// The bodies of the script commands "get_config" and "get_data": load the
// configuration and publish its items to the page; answer a named data value.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava {
namespace Assistant {

// The built-in location of the configuration document (the host is a
// deployment value; the path and HTTPS are fixed).
extern const wchar_t kDefaultConfigUrl[];

// The location get_config loads: the "ConfigUrl" setting, or the built-in one.
std::wstring ConfigLocation();

// get_config: loads the configuration; on failure shows
// "获取配置失败，请检查您的网络。" and quits the program; on success calls the
// page's "setItemInfo" with "name", "type", "keyid" and "flag" of every item
// and then "isAnyKeyConnect". Returns the load's result.
HRESULT RunGetConfig();

// get_data: the text of the data value `name` (empty when unknown).
std::wstring RunGetData(const std::wstring& name);

// Where get_config's page calls and its failure go. The defaults are the
// page callbacks of the main dialog and the program's error box followed by
// QuitApp; tests record them instead. Null members keep the default.
struct ConfigCommandSink {
  void (*setItemInfo)(UINT index, const char* name, const std::wstring& value) = nullptr;
  void (*isAnyKeyConnect)() = nullptr;
  void (*loadFailed)() = nullptr;
};
void SetConfigCommandSinkForTesting(const ConfigCommandSink* sink);

}  // namespace Assistant
}  // namespace Zentrava
