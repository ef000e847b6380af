#include "fake_page.h"

#include <cstdio>

namespace uitest {

std::wstring Render(const VARIANT& value) {
  const VARIANT* v = &value;
  if (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
  switch (v->vt) {
    case VT_EMPTY:
      return L"undefined";
    case VT_NULL:
      return L"null";
    case VT_BSTR:
      return v->bstrVal ? std::wstring(v->bstrVal, SysStringLen(v->bstrVal)) : L"";
    case VT_I4:
    case VT_INT:
      return std::to_wstring(v->lVal);
    case VT_UI4:
    case VT_UINT:
      return std::to_wstring(v->ulVal);
    case VT_BOOL:
      return v->boolVal ? L"true" : L"false";
    case VT_DISPATCH: {
      wchar_t text[40];
      swprintf(text, 40, L"object:%p", static_cast<void*>(v->pdispVal));
      return text;
    }
    default:
      return L"vt:" + std::to_wstring(v->vt);
  }
}

FakeDispatch::FakeDispatch() = default;

FakeDispatch::~FakeDispatch() {
  for (auto& entry : values_) VariantClear(&entry.second);
}

DISPID FakeDispatch::IdOf(const std::wstring& name, bool create) {
  auto found = ids_.find(name);
  if (found != ids_.end()) return found->second;
  if (!create) return DISPID_UNKNOWN;
  DISPID id = static_cast<DISPID>(ids_.size()) + 100;
  ids_[name] = id;
  names_[id] = name;
  return id;
}

void FakeDispatch::SetFunction(const std::wstring& name, FakeFunction function) {
  std::lock_guard<std::mutex> hold(lock_);
  DISPID id = IdOf(name, true);
  functions_[id] = function ? function : [](const std::vector<VARIANT*>&, VARIANT*) { return S_OK; };
}

void FakeDispatch::SetValue(const std::wstring& name, const VARIANT& value) {
  std::lock_guard<std::mutex> hold(lock_);
  DISPID id = IdOf(name, true);
  VARIANT& slot = values_[id];
  VariantClear(&slot);
  VariantCopy(&slot, const_cast<VARIANT*>(&value));
}

bool FakeDispatch::GetValue(const std::wstring& name, VARIANT* value) {
  std::lock_guard<std::mutex> hold(lock_);
  DISPID id = IdOf(name, false);
  auto found = values_.find(id);
  if (found == values_.end()) return false;
  VariantInit(value);
  return SUCCEEDED(VariantCopy(value, &found->second));
}

void FakeDispatch::AddConstructors() {
  for (const wchar_t* name : {L"Object", L"Array"}) {
    FakeDispatch* constructor = New();
    constructor->constructor_ = true;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_DISPATCH;
    value.pdispVal = constructor;
    SetValue(name, value);
    VariantClear(&value);
  }
}

std::vector<RecordedCall> FakeDispatch::Calls() {
  std::lock_guard<std::mutex> hold(lock_);
  return calls_;
}

std::vector<std::wstring> FakeDispatch::PutOrder() {
  std::lock_guard<std::mutex> hold(lock_);
  return putOrder_;
}

STDMETHODIMP FakeDispatch::QueryInterface(REFIID iid, void** out) {
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IDispatchEx)) {
    *out = static_cast<IDispatchEx*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
STDMETHODIMP_(ULONG) FakeDispatch::AddRef() { return InterlockedIncrement(&refs_); }
STDMETHODIMP_(ULONG) FakeDispatch::Release() {
  LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return refs;
}
STDMETHODIMP FakeDispatch::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}
STDMETHODIMP FakeDispatch::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

STDMETHODIMP FakeDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count != 1) return DISP_E_UNKNOWNNAME;
  std::lock_guard<std::mutex> hold(lock_);
  ids[0] = IdOf(names[0], false);
  return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP FakeDispatch::GetDispID(BSTR name, DWORD flags, DISPID* id) {
  std::lock_guard<std::mutex> hold(lock_);
  *id = IdOf(name, (flags & fdexNameEnsure) != 0);
  return *id == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP FakeDispatch::Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* info, UINT*) {
  return InvokeEx(id, lcid, flags, params, result, info, nullptr);
}

STDMETHODIMP FakeDispatch::InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO*, IServiceProvider*) {
  if (constructor_ && id == DISPID_VALUE && (flags & DISPATCH_CONSTRUCT)) {
    if (result) {
      VariantInit(result);
      result->vt = VT_DISPATCH;
      result->pdispVal = New();
    }
    return S_OK;
  }
  FakeFunction function;
  std::vector<VARIANT*> args;
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto name = names_.find(id);
    if (name == names_.end()) return DISP_E_MEMBERNOTFOUND;
    UINT count = params ? params->cArgs : 0;
    for (UINT i = 0; i < count; ++i) args.push_back(&params->rgvarg[count - 1 - i]);
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      if (count != 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_PARAMNOTOPTIONAL;
      VARIANT& slot = values_[id];
      VariantClear(&slot);
      VariantCopy(&slot, args[0]);
      putOrder_.push_back(name->second);
      return S_OK;
    }
    auto found = functions_.find(id);
    if (found == functions_.end()) {
      if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      auto value = values_.find(id);
      if (value == values_.end()) return DISP_E_MEMBERNOTFOUND;
      if (result) {
        VariantInit(result);
        VariantCopy(result, &value->second);
      }
      return S_OK;
    }
    RecordedCall call{name->second, {}, GetCurrentThreadId()};
    for (VARIANT* arg : args) call.args.push_back(Render(*arg));
    calls_.push_back(call);
    function = found->second;
  }
  // Outside the lock: a page function may call back into native code.
  return function(args, result);
}

FakePage::FakePage(long width, long height) : script_(FakeDispatch::New()), width_(width), height_(height) {
  script_->AddConstructors();
}
FakePage::~FakePage() { script_->Release(); }

std::vector<std::wstring> FakePage::ExecutedScripts() {
  std::lock_guard<std::mutex> hold(lock_);
  return scripts_;
}

HRESULT FakePage::GetScript(IDispatch** script) {
  script_->AddRef();
  *script = script_;
  return S_OK;
}

HRESULT FakePage::GetBodyScrollSize(long* width, long* height) {
  *width = width_;
  *height = height_;
  return S_OK;
}

HRESULT FakePage::ExecScript(LPCWSTR code, LPCWSTR language) {
  std::lock_guard<std::mutex> hold(lock_);
  scripts_.push_back(std::wstring(language) + L":" + code);
  return S_OK;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  return true;
}

void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 100);
}

VARIANT StringVariant(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

VARIANT IntVariant(int value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

}  // namespace uitest
