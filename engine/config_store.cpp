#include "engine/config_store.h"

#include <cctype>

#include "app/app_state.h"
#include "engine/config_cache.h"
#include "engine/config_cipher.h"
#include "net/assistant_http.h"
#include "support/file_util.h"
#include "support/markup_document.h"

namespace Zentrava {
namespace Assistant {

namespace {

const std::string kEmpty;

std::string ConvertFromWide(const std::wstring& text, UINT codePage) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

void ReadAttributes(const MarkupDocument& doc, AttributeMap* attributes) {
  std::string name, value;
  for (int n = 0; doc.GetNthAttribute(n, name, value); ++n) attributes->Set(name, value);
}

ConfigEntry ReadEntry(const MarkupDocument& doc) {
  ConfigEntry entry;
  entry.text = doc.GetData();
  ReadAttributes(doc, &entry.attributes);
  return entry;
}

// Reads every `tag` child of the current element into `list`, searching from
// the element's first child.
void ReadChildren(MarkupDocument& doc, const char* tag, std::vector<ConfigEntry>* list) {
  doc.ResetMainPosition();
  while (doc.FindElement(tag)) list->push_back(ReadEntry(doc));
}

bool StartsWithHttp(LPCWSTR source) {
  return _wcsnicmp(source, L"http", 4) == 0;
}

// The URL up to and including its last "/" (the whole URL without one).
std::string BaseOf(const std::wstring& url) {
  size_t slash = url.find_last_of(L'/');
  return ConvertFromWide(slash == std::wstring::npos ? url : url.substr(0, slash + 1), CP_ACP);
}

}  // namespace

void AttributeMap::Set(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  std::string key(name);
  for (char& c : key) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  values_[key] = value;
}

const std::string& AttributeMap::Get(const std::string& key) const {
  auto it = values_.find(key);
  return it == values_.end() ? kEmpty : it->second;
}

void ConfigStore::Clear() {
  checkItems.Clear();
  types.clear();
  dataValues.clear();
  items.clear();
  appInfo = ConfigItem();
}

ConfigType* ConfigStore::FindConfigType(const std::string& name) {
  for (ConfigType& type : types) {
    if (type.name == name) return &type;
  }
  return nullptr;
}

ConfigType& ConfigStore::FindOrAddType(const std::string& name) {
  if (ConfigType* type = FindConfigType(name)) return *type;
  types.push_back(ConfigType());
  types.back().name = name;
  return types.back();
}

ConfigItem* ConfigStore::ItemAt(uint32_t index) {
  return index < items.size() ? &items[index] : nullptr;
}

std::string ConfigStore::DataValue(const std::string& name) const {
  auto it = dataValues.find(name);
  return it == dataValues.end() ? std::string() : it->second;
}

std::string ConfigStore::ResolveConfigUrl(const std::string& value) const {
  if (value.empty() || value.find("://") != std::string::npos) return value;
  return checkItems.Get("base") + value;
}

bool ConfigStore::Parse(const std::string& bytes) {
  bool parsed;
  if (App::GetAppOption(App::kOptionEncryptedConfig)) {
    std::string plain;
    parsed = DecipherConfigDocument(bytes, &plain) && ParseDocument(plain);
  } else {
    parsed = ParseDocument(bytes);
  }
  if (!parsed) {
    // Nothing half-read stays behind; only the base of a URL load survives.
    std::string base = checkItems.Get("base");
    Clear();
    checkItems.Set("base", base);
  }
  return parsed;
}

bool ConfigStore::ParseDocument(const std::string& bytes) {
  if (bytes.empty()) return false;
  MarkupDocument doc;
  if (!doc.SetDocument(bytes.data(), bytes.size())) return false;
  if (!doc.FindElement("checkitems")) return false;
  ReadAttributes(doc, &checkItems);
  doc.IntoElement();

  while (doc.FindElement("config")) {
    ConfigType& type = FindOrAddType(doc.GetAttribute("type"));
    doc.IntoElement();
    while (doc.FindElement("entry")) type.entries.push_back(ReadEntry(doc));
    doc.OutOfElement();
  }

  // Items are searched from the last "data" element on: an item that stands
  // before it is not seen.
  doc.ResetMainPosition();
  while (doc.FindElement("data")) dataValues[doc.GetAttribute("name")] = doc.GetData();
  while (doc.FindElement("item")) {
    items.push_back(ConfigItem());
    ConfigItem& item = items.back();
    ReadAttributes(doc, &item.attributes);
    doc.IntoElement();
    ReadChildren(doc, "detect", &item.detect);
    ReadChildren(doc, "installer", &item.installers);
    ReadChildren(doc, "uninstaller", &item.uninstallers);
    doc.OutOfElement();
  }

  doc.ResetMainPosition();
  while (doc.FindElement("appinfo")) {
    ReadAttributes(doc, &appInfo.attributes);
    doc.IntoElement();
    ReadChildren(doc, "detect", &appInfo.detect);
    ReadChildren(doc, "installer", &appInfo.installers);
    doc.OutOfElement();
  }
  return true;
}

HRESULT ConfigStore::Load(LPCWSTR source) {
  Clear();
  if (IS_INTRESOURCE(source)) return E_NOTIMPL;
  std::string text;
  bool fromCopy = false;
  if (StartsWithHttp(source)) {
    HRESULT hr = Network::g_assistantHttp.FetchText(source, &text);
    checkItems.Set("base", BaseOf(source));
    if (App::GetAppOption(App::kOptionKeepConfigCopy)) {
      if (FAILED(hr)) {
        hr = ReadConfigCopy(source, &text);
        fromCopy = SUCCEEDED(hr);
      } else if (!text.empty()) {
        // An error page's empty body must not replace a good copy.
        WriteConfigCopy(source, text);
      }
    }
    if (FAILED(hr)) return hr;
  } else {
    HRESULT hr = ReadWholeFile(source, FILE_ATTRIBUTE_NORMAL, &text);
    if (FAILED(hr)) return hr;
  }
  if (!Parse(text)) return E_FAIL;
  return fromCopy ? S_FALSE : S_OK;
}

ConfigStore& TheConfigStore() {
  static ConfigStore store;
  return store;
}

HRESULT LoadConfiguration(LPCWSTR source) { return TheConfigStore().Load(source); }
ConfigType* FindConfigType(const std::string& name) { return TheConfigStore().FindConfigType(name); }
ConfigItem* ItemAt(uint32_t index) { return TheConfigStore().ItemAt(index); }
std::string DataValue(const std::string& name) { return TheConfigStore().DataValue(name); }
const std::string& CheckItemsAttribute(const std::string& key) {
  return TheConfigStore().CheckItemsAttribute(key);
}
std::string ResolveConfigUrl(const std::string& value) {
  return TheConfigStore().ResolveConfigUrl(value);
}

}  // namespace Assistant
}  // namespace Zentrava
