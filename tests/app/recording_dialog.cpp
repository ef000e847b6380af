#include "app/recording_dialog.h"

namespace apptest {

std::vector<std::wstring> RecordingDialog::Names() const {
  std::vector<std::wstring> names;
  for (const PageCall& c : calls) names.push_back(c.name);
  return names;
}

HRESULT RecordingDialog::CallFunction(LPCWSTR name, VARIANT* args, UINT count, VARIANT* result) {
  PageCall call;
  call.name = name ? name : L"";
  for (UINT i = 0; i < count; ++i) {
    Zentrava::ScopedVariant copy;
    VariantCopy(copy.ptr(), &args[i]);
    call.args.push_back(std::move(copy));
  }
  calls.push_back(std::move(call));
  if (answer) return answer(name ? name : L"", result);
  return S_OK;
}

std::wstring Text(const VARIANT& v) {
  if (V_VT(&v) != VT_BSTR) return L"<type " + std::to_wstring(V_VT(&v)) + L">";
  return V_BSTR(&v) ? std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))) : std::wstring();
}

}  // namespace apptest
