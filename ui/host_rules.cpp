#include "ui/host_rules.h"

#include <mshtmhst.h>
#include <shlwapi.h>

#include <cwchar>

namespace Zentrava::UI {

std::wstring NormalizeUrl(const std::wstring& url) {
  std::wstring text = url.substr(0, url.rfind(L'#'));
  if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  if (text.empty() || PathIsURLW(text.c_str())) return text;
  WCHAR fileUrl[2100];
  DWORD length = ARRAYSIZE(fileUrl);
  if (FAILED(UrlCreateFromPathW(text.c_str(), fileUrl, &length, 0))) return text;
  return fileUrl;
}

bool IsCurrentPage(const std::wstring& currentUrl, const std::wstring& target) {
  if (currentUrl.empty()) return false;
  std::wstring normalised = NormalizeUrl(target);
  return UrlCompareW(normalised.c_str(), currentUrl.c_str(), TRUE) == 0;
}

namespace {
std::wstring ModulePath(HMODULE module) {
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(module, path, ARRAYSIZE(path));
  // A truncated path would name another file: treat it as unreadable.
  if (length == 0 || length >= ARRAYSIZE(path)) return std::wstring();
  return std::wstring(path, length);
}
}  // namespace

std::wstring ResourceUrl(HMODULE module, unsigned resourceId) {
  std::wstring path = ModulePath(module);
  if (path.empty()) return path;
  return L"res://" + path + L"/" + std::to_wstring(resourceId);
}

std::wstring ResourceUrl(HMODULE module, LPCWSTR resourceName) {
  std::wstring path = ModulePath(module);
  if (path.empty() || resourceName == nullptr) return std::wstring();
  return L"res://" + path + L"/" + resourceName;
}

bool IsBlockedKey(UINT virtualKey, bool ctrl, bool alt) {
  switch (virtualKey) {
    case VK_ESCAPE:
    case VK_F1:
    case VK_F5:
      return true;
    case VK_LEFT:
    case VK_RIGHT:
      return alt;
    case 'D':
    case 'L':
    case 'N':
    case 'O':
    case 'P':
    case 'S':
      return ctrl;
    default:
      return false;
  }
}

bool ShowsBrowserContextMenu(DWORD menuKind) { return menuKind == CONTEXT_MENU_TEXTSELECT; }

}  // namespace Zentrava::UI
