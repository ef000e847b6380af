// Calls from native code into the page's global functions, through the main
// dialog: fixed names, arguments built in invocation order (last argument
// first) with fixed variant types. Callable from any thread; the dialog runs
// the page function on its own thread and a worker waits for it. When there
// is no main dialog the calls do nothing.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace Zentrava::App {

// Size of the caller's buffer for a getKeyInfo answer, terminating zero
// included.
inline constexpr size_t kKeyInfoChars = 256;

// Calls `name` on the main dialog with `count` arguments, last argument first;
// `result` may be null. E_POINTER when there is no main dialog.
HRESULT CallPageFunction(const wchar_t* name, VARIANT* args, UINT count, VARIANT* result);

// "setItemInfo"(index: VT_UI4, name: VT_BSTR, value: VT_BSTR).
void SetItemInfo(UINT index, const char* name, const std::wstring& value);

// "setProgress"(progress: VT_INT, index: VT_INT, status: VT_BOOL).
void SetProgress(int progress, int index, bool status);

// "setKeyInfo"(index: VT_UI4, name: VT_BSTR, value: VT_BSTR).
void SetKeyInfo(UINT index, const char* name, const std::wstring& value);

// "setKeyInfo"(index: VT_UI4, name: VT_BSTR, value: VT_BOOL); the value is
// true exactly when `flag` is 1.
void SetKeyInfoFlag(UINT index, const char* name, int flag);

// "getKeyInfo"(index: VT_UI4, name: VT_BSTR). Returns 0 and copies the answer
// into `buffer` (kKeyInfoChars characters) when the call succeeded and the
// page answered with a string that fits; otherwise returns 1 and leaves the
// buffer as it was.
int GetKeyInfo(UINT index, const char* name, wchar_t* buffer);

// "isAnyKeyConnect"() and "is_can_Open_update"().
void IsAnyKeyConnect();
void IsCanOpenUpdate();

// The device-change listener registered at start-up: whatever the broadcast,
// the page is asked to re-check its keys.
void OnDeviceChange(WPARAM event, LPARAM data);

}  // namespace Zentrava::App
