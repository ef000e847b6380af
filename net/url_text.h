// Small text tests on URLs shared by the HTTP agent and the HTTP utility.
#pragma once

#include <wchar.h>

#include <string>

namespace Zentrava {
namespace Network {

// Schemes are case-insensitive ("HTTPS://" is https).
inline bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  size_t n = wcslen(prefix);
  return text.size() >= n && _wcsnicmp(text.c_str(), prefix, n) == 0;
}

}  // namespace Network
}  // namespace Zentrava
