// The file test shared by file entries and the server files of registered
// COM classes: the file must exist and may have to meet a version condition
// and match one of the listed MD5 or SHA-1 digests.
#pragma once

#include <cstdint>
#include <string>

#include "engine/config_store.h"

namespace Zentrava {
namespace Assistant {

// A "version" attribute: an operator ("<", "<=", ">", ">=", "=" or none for
// equality) and up to four dotted numbers, each cut to 16 bits.
struct VersionCondition {
  enum Operator { Equal = 0, Higher = 1, NotLower = 2, Lower = 3, NotHigher = 4 };
  Operator op = Equal;
  uint32_t high = 0;  // major << 16 | minor
  uint32_t low = 0;   // build << 16 | revision

  static VersionCondition Parse(const std::string& text);
  // Whether a file of version (high, low) meets the condition.
  bool MetBy(uint32_t fileHigh, uint32_t fileLow) const;
};

// The file version of `path`'s fixed version resource; false when it has none.
bool ReadFileVersion(const std::wstring& path, uint32_t* high, uint32_t* low);

// 2 when the file at `path` meets the entry's "version", "md5" and "sha1"
// conditions, 1 when it exists but does not, -2 when it is missing, is a
// directory or lacks the version resource a condition needs.
int32_t CheckFileEntry(const ConfigEntry& entry, const std::wstring& path);

}  // namespace Assistant
}  // namespace Zentrava
