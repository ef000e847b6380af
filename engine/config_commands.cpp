#include "engine/config_commands.h"

#include "app/app_commands.h"
#include "app/app_messages.h"
#include "app/app_profile.h"
#include "app/app_state.h"
#include "app/page_callbacks.h"
#include "engine/config_store.h"

namespace Zentrava {
namespace Assistant {

const wchar_t kDefaultConfigUrl[] = L"https://ebank.tavbank.com.cn/tavbank/download/item.xml";

namespace {

ConfigCommandSink g_sink;

void ReportLoadFailure() {
  if (g_sink.loadFailed) {
    g_sink.loadFailed();
    return;
  }
  App::ShowAppMessage(App::kGetConfigError, L"错误", App::ProgramTitle().c_str(), 5, nullptr);
  App::QuitApp();
}

void PublishItemInfo(UINT index, const char* name, const std::wstring& value) {
  if (g_sink.setItemInfo) {
    g_sink.setItemInfo(index, name, value);
  } else {
    App::SetItemInfo(index, name, value);
  }
}

}  // namespace

std::wstring ConfigLocation() {
  std::wstring location = App::GetProfileString(App::kSettingsSection, L"ConfigUrl", L"");
  return location.empty() ? std::wstring(kDefaultConfigUrl) : location;
}

HRESULT RunGetConfig() {
  std::wstring location = ConfigLocation();
  HRESULT hr = LoadConfiguration(location.c_str());
  if (FAILED(hr)) {
    ReportLoadFailure();
    return hr;
  }
  static const char* const kPublished[] = {"name", "type", "keyid", "flag"};
  ConfigStore& store = TheConfigStore();
  for (UINT index = 0; index < store.ItemCount(); ++index) {
    const ConfigItem* item = store.ItemAt(index);
    for (const char* name : kPublished)
      PublishItemInfo(index, name, Utf8ToWide(ItemAttribute(*item, name)));
  }
  if (g_sink.isAnyKeyConnect) {
    g_sink.isAnyKeyConnect();
  } else {
    App::IsAnyKeyConnect();
  }
  return hr;
}

std::wstring RunGetData(const std::wstring& name) {
  return Utf8ToWide(DataValue(WideToUtf8(name)));
}

void SetConfigCommandSinkForTesting(const ConfigCommandSink* sink) {
  g_sink = sink ? *sink : ConfigCommandSink();
}

}  // namespace Assistant
}  // namespace Zentrava
