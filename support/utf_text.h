// UTF-8 <-> UTF-16 at the Windows boundary: configuration text, the log and
// the network speak UTF-8, every Windows call and the page speak UTF-16.
// Invalid input converts with replacement characters; empty stays empty.
#pragma once

#include <string>

namespace Zentrava {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace Zentrava
