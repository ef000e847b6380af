#include <cstdlib>
#include <vector>

#include "app/app_commands.h"
#include "app/key_services.h"
#include "app/page_callbacks.h"
#include "support/utf_text.h"

namespace Zentrava::App {

namespace {

// Written once at start-up before the page runs.
KeyServices g_services;

// Without the USB code no key can be found: the commands still answer in
// their own types, as for a machine with no key plugged in.
bool IsKeyPresent(unsigned long vendorAndProduct) {
  return g_services.isKeyPresent && g_services.isKeyPresent(vendorAndProduct);
}

std::wstring CertificateSummary(const std::wstring& providerName) {
  return g_services.certificateSummary ? g_services.certificateSummary(providerName)
                                       : std::wstring();
}

std::vector<std::wstring> SplitFields(const std::wstring& text, wchar_t separator) {
  std::vector<std::wstring> fields;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    fields.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
    if (end == std::wstring::npos) return fields;
    start = end + 1;
  }
}

// The provider name the page keeps for key `index` ("cspname"); empty when
// the page does not answer with a string that fits.
std::wstring PageProviderName(UINT index) {
  wchar_t name[kKeyInfoChars] = {};
  if (GetKeyInfo(index, "cspname", name) != 0) return std::wstring();
  return name;
}

}  // namespace

void SetKeyServices(const KeyServices& services) { g_services = services; }

void SplitKeyIds(const std::wstring& ids, std::wstring* first, std::wstring* second) {
  size_t bar = ids.find(L'|');
  if (bar == std::wstring::npos) {
    first->clear();
    *second = ids;
  } else {
    *first = ids.substr(0, bar);
    *second = ids.substr(bar + 1);
  }
}

unsigned long ParseKeyId(const std::wstring& id) {
  std::string narrow = WideToUtf8(id);
  return std::strtoul(narrow.c_str(), nullptr, 16);
}

void RunKeyCertificateUpdate(const std::wstring& providerName, UINT index) {
  // The key's provider needs a moment after arrival before it answers.
  Sleep(1000);
  std::vector<std::wstring> fields = SplitFields(CertificateSummary(providerName), L';');
  static const char* const kNames[] = {"sn", "issuer", "subject", "date"};
  const bool complete = fields.size() == 4;
  for (size_t i = 0; i < 4; ++i) SetKeyInfo(index, kNames[i], complete ? fields[i] : std::wstring());
  if (complete) IsCanOpenUpdate();
}

VARIANT CmdIsKeyConnect(const ScriptCall& call) {
  if (!IsString(call.a1)) return EmptyValue();
  const UINT index = static_cast<UINT>(NumberValueLoose(call.a2));
  std::wstring first, second;
  SplitKeyIds(StringValue(call.a1), &first, &second);
  bool connected = IsKeyPresent(ParseKeyId(second));
  if (!connected && !first.empty()) connected = IsKeyPresent(ParseKeyId(first));
  if (!connected) {
    SetKeyInfoFlag(index, "plugin", 0);
    return BooleanResult(VARIANT_FALSE);
  }
  SetKeyInfoFlag(index, "selected", 1);
  SetKeyInfoFlag(index, "plugin", 1);
  RunKeyCertificateUpdate(PageProviderName(index), index);
  return BooleanResult(VARIANT_TRUE);
}

VARIANT CmdUpdateKeyInfo(const ScriptCall& call) {
  if (!IsNumber(call.a1)) {
    ShowCommandError(kUpdateKeyInfoError);
    return EmptyValue();
  }
  // The number names no provider; the page's key list does, for key a2.
  const UINT index = static_cast<UINT>(NumberValueLoose(call.a2));
  RunKeyCertificateUpdate(PageProviderName(index), index);
  return NumberResult(V_I4(call.a1));
}

VARIANT CmdGetSMInfo(const ScriptCall& call) {
  if (!IsString(call.a1)) return EmptyValue();
  return StringResult(CertificateSummary(StringValue(call.a1)));
}

}  // namespace Zentrava::App
