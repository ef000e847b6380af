#include "app/script_commands.h"

#include "app/app_messages.h"
#include "resources/resource.h"

namespace Zentrava::App {

namespace {

struct NamedCommand {
  const wchar_t* name;
  ScriptCommand number;
};

constexpr NamedCommand kCommandNames[] = {
    {L"get_config", kCmdGetConfig},
    {L"save_settings", kCmdSaveSettings},
    {L"load_settings", kCmdLoadSettings},
    {L"messagebox", kCmdMessageBox},
    {L"open_ie", kCmdOpenIE},
    {L"get_data", kCmdGetData},
    {L"is_key_connect", kCmdIsKeyConnect},
    {L"do_check", kCmdDoCheck},
    {L"do_fix", kCmdDoFix},
    {L"do_install", kCmdDoInstall},
    {L"get_version", kCmdGetVersion},
    {L"debug_print", kCmdDebugPrint},
    {L"delay_ms", kCmdDelayMs},
    {L"call_js", kCmdCallJs},
    {L"do_extra_startup", kCmdDoExtraStartup},
    {L"check_update", kCmdCheckUpdate},
    {L"update_key_info", kCmdUpdateKeyInfo},
    {L"restart_app", kCmdRestartApp},
    {L"http_post", kCmdHttpPost},
    {L"start_with_boot", kCmdStartWithBoot},
    {L"set_Log", kCmdSetLog},
    {L"Get_SM_info", kCmdGetSMInfo},
    {L"mini_size", kCmdMiniSize},
    {L"quit", kCmdQuit},
};

}  // namespace

ScriptCommandTable::ScriptCommandTable() {
  for (const NamedCommand& c : kCommandNames) names_.emplace(c.name, c.number);
}

int ScriptCommandTable::Lookup(const VARIANT* name) const {
  if (IsNumber(name)) return V_I4(name);
  if (IsString(name)) return LookupName(StringValue(name));
  return kCmdUnknown;
}

int ScriptCommandTable::LookupName(const std::wstring& name) const {
  auto it = names_.find(name);
  return it == names_.end() ? kCmdUnknown : it->second;
}

bool IsKnownCommandNumber(int number) {
  return (number >= kCmdGetConfig && number <= kCmdHttpPost) ||
         (number >= kCmdStartWithBoot && number <= kCmdQuit);
}

std::wstring StringValue(const VARIANT* v) {
  if (!IsString(v) || !V_BSTR(v)) return std::wstring();
  return std::wstring(V_BSTR(v), SysStringLen(V_BSTR(v)));
}

std::wstring StringValueLoose(const VARIANT* v) {
  if (!v) return std::wstring();
  if (IsString(v)) return StringValue(v);
  if (V_VT(v) == VT_EMPTY || V_VT(v) == VT_NULL) return std::wstring();
  VARIANT text;
  VariantInit(&text);
  std::wstring out;
  if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(v), 0, VT_BSTR)) && V_BSTR(&text))
    out.assign(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
  VariantClear(&text);
  return out;
}

LONG NumberValueLoose(const VARIANT* v) {
  if (!v) return 0;
  if (IsNumber(v)) return V_I4(v);
  VARIANT number;
  VariantInit(&number);
  LONG out = 0;
  if (SUCCEEDED(VariantChangeType(&number, const_cast<VARIANT*>(v), 0, VT_I4))) out = V_I4(&number);
  VariantClear(&number);
  return out;
}

VARIANT EmptyValue() {
  VARIANT v;
  VariantInit(&v);
  return v;
}

VARIANT StringResult(const std::wstring& text) {
  VARIANT v;
  VariantInit(&v);
  BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (s) {
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = s;
  }
  return v;
}

VARIANT NumberResult(LONG value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT BooleanResult(VARIANT_BOOL value) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = value;
  return v;
}

void ShowCommandError(const wchar_t* text) {
  ShowAppMessage(text, kErrorHeading, ProgramTitle().c_str(), 5, nullptr);
}

}  // namespace Zentrava::App
