// The loaded configuration document ("item.xml"): what the check-fix engine,
// the installers and the script commands know about the bank's requirements.
// One store per process, filled by LoadConfiguration; all text is UTF-8.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/utf_text.h"

namespace Zentrava {
namespace Assistant {

// Ordered attribute name -> value map. Names are stored lower-cased (C-locale
// tolower, byte by byte), so lookups are case-insensitive; an empty value is
// never stored, which makes it indistinguishable from a missing attribute.
class AttributeMap {
 public:
  using Map = std::map<std::string, std::string>;

  // Stores `value` under the lower-cased `name`, replacing an earlier value.
  // An empty value is ignored.
  void Set(const std::string& name, const std::string& value);
  // The value under `key` (callers pass lower-case keys), or the empty string.
  const std::string& Get(const std::string& key) const;
  bool Has(const std::string& key) const { return values_.count(key) != 0; }
  void Remove(const std::string& key) { values_.erase(key); }
  void Clear() { values_.clear(); }
  bool Empty() const { return values_.empty(); }
  size_t Size() const { return values_.size(); }
  Map::const_iterator begin() const { return values_.begin(); }
  Map::const_iterator end() const { return values_.end(); }

 private:
  Map values_;
};

// One "entry", "detect", "installer" or "uninstaller" element.
struct ConfigEntry {
  // Result code of the last check or fix over this entry; 0 when read.
  int32_t state = 0;
  // The element's character data: the object being checked for most types.
  std::string text;
  AttributeMap attributes;
};

// One check type: the entries of every "config" element of that name.
struct ConfigType {
  std::string name;  // exact bytes, case-sensitive
  std::vector<ConfigEntry> entries;
};

// One installable component (or the assistant's own update).
struct ConfigItem {
  AttributeMap attributes;
  std::vector<ConfigEntry> detect;
  std::vector<ConfigEntry> installers;
  std::vector<ConfigEntry> uninstallers;
};

class ConfigStore {
 public:
  ConfigStore() = default;
  ConfigStore(const ConfigStore&) = delete;
  ConfigStore& operator=(const ConfigStore&) = delete;

  // Empties all five parts.
  void Clear();

  // Loads from a URL (first four characters "http", any case) or a file path.
  // 0 on success, 1 when the text came from the local copy (option 1000),
  // E_NOTIMPL for a numeric resource identifier, E_FAIL for a document that
  // is not a configuration, or the fetch's or read's own failure.
  HRESULT Load(LPCWSTR source);

  // Parses a document into the (already emptied) store; false when it is not
  // well-formed or its root is not "checkitems". Text is deciphered first
  // while option 1002 is on.
  bool Parse(const std::string& bytes);

  ConfigType* FindConfigType(const std::string& name);
  // The item at `index`, or null when the index is not below the item count.
  ConfigItem* ItemAt(uint32_t index);
  size_t ItemCount() const { return items.size(); }
  // The text of the "data" element named `name`, or the empty string.
  std::string DataValue(const std::string& name) const;
  const std::string& CheckItemsAttribute(const std::string& key) const {
    return checkItems.Get(key);
  }
  // A value without "://" is taken relative to the "base" key; absolute and
  // empty values come back unchanged.
  std::string ResolveConfigUrl(const std::string& value) const;

  AttributeMap checkItems;
  std::vector<ConfigType> types;
  std::map<std::string, std::string> dataValues;
  std::vector<ConfigItem> items;
  ConfigItem appInfo;

 private:
  bool ParseDocument(const std::string& bytes);
  ConfigType& FindOrAddType(const std::string& name);
};

// The process's one store.
ConfigStore& TheConfigStore();

// The operations of the process's store, under the names the commands use.
HRESULT LoadConfiguration(LPCWSTR source);
ConfigType* FindConfigType(const std::string& name);
ConfigItem* ItemAt(uint32_t index);
std::string DataValue(const std::string& name);
const std::string& CheckItemsAttribute(const std::string& key);
inline const std::string& EntryAttribute(const ConfigEntry& entry, const std::string& key) {
  return entry.attributes.Get(key);
}
inline const std::string& ItemAttribute(const ConfigItem& item, const std::string& key) {
  return item.attributes.Get(key);
}
std::string ResolveConfigUrl(const std::string& value);

using Zentrava::Utf8ToWide;
using Zentrava::WideToUtf8;

}  // namespace Assistant
}  // namespace Zentrava
