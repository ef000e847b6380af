#include "app/page_callbacks.h"

#include <oleauto.h>

#include "app/app_state.h"
#include "ui/bs_dialog.h"

namespace Zentrava::App {

namespace {

// Argument names are native ASCII constants, converted with the system code
// page as the page expects.
BSTR AllocAnsiName(const char* name) {
  if (!name) return SysAllocString(L"");
  int chars = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
  if (chars <= 0) return SysAllocString(L"");
  BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(chars - 1));
  if (out) MultiByteToWideChar(CP_ACP, 0, name, -1, out, chars);
  return out;
}

void PutString(VARIANT* v, BSTR text) {
  if (!text) return;  // out of memory: the argument stays empty
  V_VT(v) = VT_BSTR;
  V_BSTR(v) = text;
}

// An argument array, each element empty at first and cleared afterwards
// whatever the call did.
template <UINT N>
struct PageArgs {
  VARIANT v[N];
  PageArgs() {
    for (VARIANT& e : v) VariantInit(&e);
  }
  ~PageArgs() {
    for (VARIANT& e : v) VariantClear(&e);
  }
  PageArgs(const PageArgs&) = delete;
  PageArgs& operator=(const PageArgs&) = delete;
};

// Fills the first two parameters (index, name) of the three-argument calls.
void PutIndexAndName(PageArgs<3>& args, UINT index, const char* name) {
  V_VT(&args.v[2]) = VT_UI4;
  V_UI4(&args.v[2]) = index;
  PutString(&args.v[1], AllocAnsiName(name));
}

void PutText(VARIANT* v, const std::wstring& text) {
  PutString(v, SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

}  // namespace

HRESULT CallPageFunction(const wchar_t* name, VARIANT* args, UINT count, VARIANT* result) {
  UI::IBSDialog* dialog = mainDialog.load();
  if (!dialog) return E_POINTER;
  return dialog->CallFunction(name, args, count, result);
}

void SetItemInfo(UINT index, const char* name, const std::wstring& value) {
  PageArgs<3> args;
  PutIndexAndName(args, index, name);
  PutText(&args.v[0], value);
  CallPageFunction(L"setItemInfo", args.v, 3, nullptr);
}

void SetProgress(int progress, int index, bool status) {
  PageArgs<3> args;
  V_VT(&args.v[2]) = VT_INT;
  V_INT(&args.v[2]) = progress;
  V_VT(&args.v[1]) = VT_INT;
  V_INT(&args.v[1]) = index;
  V_VT(&args.v[0]) = VT_BOOL;
  V_BOOL(&args.v[0]) = status ? VARIANT_TRUE : VARIANT_FALSE;
  CallPageFunction(L"setProgress", args.v, 3, nullptr);
}

void SetKeyInfo(UINT index, const char* name, const std::wstring& value) {
  PageArgs<3> args;
  PutIndexAndName(args, index, name);
  PutText(&args.v[0], value);
  CallPageFunction(L"setKeyInfo", args.v, 3, nullptr);
}

void SetKeyInfoFlag(UINT index, const char* name, int flag) {
  PageArgs<3> args;
  PutIndexAndName(args, index, name);
  V_VT(&args.v[0]) = VT_BOOL;
  V_BOOL(&args.v[0]) = flag == 1 ? VARIANT_TRUE : VARIANT_FALSE;
  CallPageFunction(L"setKeyInfo", args.v, 3, nullptr);
}

int GetKeyInfo(UINT index, const char* name, wchar_t* buffer) {
  PageArgs<2> args;
  V_VT(&args.v[1]) = VT_UI4;
  V_UI4(&args.v[1]) = index;
  PutString(&args.v[0], AllocAnsiName(name));
  VARIANT answer;
  VariantInit(&answer);
  HRESULT hr = CallPageFunction(L"getKeyInfo", args.v, 2, &answer);
  int outcome = 1;
  if (SUCCEEDED(hr) && V_VT(&answer) == VT_BSTR && buffer) {
    UINT length = V_BSTR(&answer) ? SysStringLen(V_BSTR(&answer)) : 0;
    // An answer that does not fit is refused whole rather than cut.
    if (length < kKeyInfoChars) {
      if (length) CopyMemory(buffer, V_BSTR(&answer), length * sizeof(wchar_t));
      buffer[length] = L'\0';
      outcome = 0;
    }
  }
  VariantClear(&answer);
  return outcome;
}

void IsAnyKeyConnect() { CallPageFunction(L"isAnyKeyConnect", nullptr, 0, nullptr); }

void IsCanOpenUpdate() { CallPageFunction(L"is_can_Open_update", nullptr, 0, nullptr); }

void OnDeviceChange(WPARAM, LPARAM) { IsAnyKeyConnect(); }

}  // namespace Zentrava::App
