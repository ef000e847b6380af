#include "engine/check_file_entry.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <vector>

#include "engine/check_fix.h"
#include "support/digest.h"

namespace Zentrava {
namespace Assistant {

VersionCondition VersionCondition::Parse(const std::string& text) {
  VersionCondition condition;
  size_t pos = 0;
  if (!text.empty()) {
    bool orEqual = text.size() > 1 && text[1] == '=';
    switch (text[0]) {
      case '<': condition.op = orEqual ? NotHigher : Lower; break;
      case '>': condition.op = orEqual ? NotLower : Higher; break;
      default: condition.op = Equal; break;
    }
  }
  while (pos < text.size() && !isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
  uint32_t parts[4] = {0, 0, 0, 0};
  for (int i = 0; i < 4 && pos < text.size(); ++i) {
    parts[i] = static_cast<uint32_t>(atoi(text.c_str() + pos)) & 0xFFFF;
    size_t dot = text.find('.', pos);
    if (dot == std::string::npos) break;
    pos = dot + 1;
  }
  condition.high = parts[0] << 16 | parts[1];
  condition.low = parts[2] << 16 | parts[3];
  return condition;
}

bool VersionCondition::MetBy(uint32_t fileHigh, uint32_t fileLow) const {
  uint64_t file = static_cast<uint64_t>(fileHigh) << 32 | fileLow;
  uint64_t wanted = static_cast<uint64_t>(high) << 32 | low;
  switch (op) {
    case Lower: return file < wanted;
    case NotHigher: return file <= wanted;
    case Higher: return file > wanted;
    case NotLower: return file >= wanted;
    case Equal: break;
  }
  return file == wanted;
}

bool ReadFileVersion(const std::wstring& path, uint32_t* high, uint32_t* low) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO))
    return false;
  *high = info->dwFileVersionMS;
  *low = info->dwFileVersionLS;
  return true;
}

namespace {

std::string Lowered(const std::string& text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return result;
}

// A digest condition: the file's digest must occur in the attribute text. A
// file that cannot be read has no digest, and that is no match.
bool DigestListed(const std::wstring& path, const std::string& list, int selector) {
  std::string digest = FileDigestHex(path, selector);
  return !digest.empty() && Lowered(list).find(digest) != std::string::npos;
}

}  // namespace

int32_t CheckFileEntry(const ConfigEntry& entry, const std::wstring& path) {
  UINT previousMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  DWORD attributes = GetFileAttributesW(path.c_str());
  SetErrorMode(previousMode);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return ResultFail;

  const std::string& version = entry.attributes.Get("version");
  if (!version.empty()) {
    uint32_t high = 0, low = 0;
    if (!ReadFileVersion(path, &high, &low)) return ResultFail;
    if (!VersionCondition::Parse(version).MetBy(high, low)) return ResultDiffers;
  }
  const std::string& md5 = entry.attributes.Get("md5");
  if (!md5.empty() && !DigestListed(path, md5, kDigestMd5)) return ResultDiffers;
  const std::string& sha1 = entry.attributes.Get("sha1");
  if (!sha1.empty() && !DigestListed(path, sha1, kDigestSha1)) return ResultDiffers;
  return ResultPass;
}

}  // namespace Assistant
}  // namespace Zentrava
