// Type "registry": a registry value must exist, or hold a given DWORD (under a
// bit mask), string or binary value; the fix creates the key and writes it.
// The per-user policy that locks the registry tools fails the check run, and
// the fix run removes it first.
#pragma once

#include <string>
#include <vector>

#include "engine/check_fix.h"
#include "support/registry_key.h"

namespace Zentrava {
namespace Assistant {

class CheckFixRegistry : public ICheckFix {
 public:
  int32_t BeginCheck() override;
  int32_t Check(ConfigEntry& entry) override;
  int32_t BeginFix() override;
  int32_t Fix(ConfigEntry& entry) override;
};

// Opens (or with `create`, creates) the key named by the entry's text: a root
// name, a backslash, the subkey path. Keys are opened for reading and writing,
// in the 64-bit view for a 64-bit entry under WOW64.
bool OpenEntryKey(const ConfigEntry& entry, bool create, RegistryKey* key);

// The predefined key for a root name ("HKLM", "HKEY_CURRENT_USER"...), any
// case; anything else is HKEY_CURRENT_USER.
HKEY RootKeyFromName(const std::string& rootName);

// "value" of a "reg_binary" entry: hexadecimal pairs up to the first pair that
// is not two hexadecimal digits; a single trailing digit is dropped.
std::vector<unsigned char> DecodeHexBytes(const std::string& text);

}  // namespace Assistant
}  // namespace Zentrava
