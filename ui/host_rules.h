// The small decisions the browser host makes for every navigation, key and
// context menu, kept apart from the OLE plumbing so they can be checked on
// their own.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava::UI {

// The form in which the dialog remembers and compares page URLs: fragment
// cut at the last "#", lower case, paths turned into "file:" URLs.
std::wstring NormalizeUrl(const std::wstring& url);

// Whether navigating to `target` only reloads the page shown (`currentUrl`,
// already normalised; empty before the first page): trailing slashes do not
// count. Such navigations are cancelled.
bool IsCurrentPage(const std::wstring& currentUrl, const std::wstring& target);

// "res://<module path>/<id>" for a numeric HTML resource of `module`; empty
// when the module's path cannot be read.
std::wstring ResourceUrl(HMODULE module, unsigned resourceId);
// "res://<module path>/<name>" for a named HTML resource.
std::wstring ResourceUrl(HMODULE module, LPCWSTR resourceName);

// Keys the page must not see: browser navigation, help, reload, printing and
// the like. `ctrl` and `alt` are the states of the two modifiers.
bool IsBlockedKey(UINT virtualKey, bool ctrl, bool alt);

// The browser's own context menu is shown only over selected text.
bool ShowsBrowserContextMenu(DWORD menuKind);

}  // namespace Zentrava::UI
