// A stand-in for the page's script side: a dispatch object that keeps named
// functions and variables, records every call with the thread it ran on,
// and constructs objects the way the page's "Object" and "Array" would.
#pragma once

#include <windows.h>
#include <dispex.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/page_document.h"

namespace uitest {

// `args` in the page's order (first parameter first).
typedef std::function<HRESULT(const std::vector<VARIANT*>& args, VARIANT* result)> FakeFunction;

struct RecordedCall {
  std::wstring name;
  std::vector<std::wstring> args;  // rendered: text, numbers, "true", "undefined", "object:<ptr>"
  DWORD threadId;
};

std::wstring Render(const VARIANT& value);

class FakeDispatch final : public IDispatchEx {
 public:
  FakeDispatch();
  // Starts with one reference, owned by the caller.
  static FakeDispatch* New() { return new FakeDispatch(); }

  void SetFunction(const std::wstring& name, FakeFunction function = nullptr);
  void SetValue(const std::wstring& name, const VARIANT& value);
  bool GetValue(const std::wstring& name, VARIANT* value);
  // Makes "Object" and "Array" page globals that construct FakeDispatch objects.
  void AddConstructors();

  std::vector<RecordedCall> Calls();
  std::vector<std::wstring> PutOrder();  // property names in the order they were set

  // IUnknown / IDispatch / IDispatchEx
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT*) override;
  STDMETHODIMP GetDispID(BSTR name, DWORD flags, DISPID* id) override;
  STDMETHODIMP InvokeEx(DISPID id, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, IServiceProvider*) override;
  STDMETHODIMP DeleteMemberByName(BSTR, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP DeleteMemberByDispID(DISPID) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberProperties(DISPID, DWORD, DWORD*) override { return E_NOTIMPL; }
  STDMETHODIMP GetMemberName(DISPID, BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNextDispID(DWORD, DISPID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetNameSpaceParent(IUnknown**) override { return E_NOTIMPL; }

 private:
  ~FakeDispatch();
  DISPID IdOf(const std::wstring& name, bool create);

  LONG refs_ = 1;
  bool constructor_ = false;
  std::mutex lock_;
  std::map<std::wstring, DISPID> ids_;
  std::map<DISPID, std::wstring> names_;
  std::map<DISPID, FakeFunction> functions_;
  std::map<DISPID, VARIANT> values_;
  std::vector<RecordedCall> calls_;
  std::vector<std::wstring> putOrder_;
};

// A document whose script object is a FakeDispatch and whose body has a
// fixed size.
class FakePage : public Zentrava::UI::IPageDocument {
 public:
  FakePage(long width = 780, long height = 560);
  ~FakePage() override;
  FakeDispatch* script() const { return script_; }
  void SetBodySize(long width, long height) {
    width_ = width;
    height_ = height;
  }
  std::vector<std::wstring> ExecutedScripts();

  HRESULT GetScript(IDispatch** script) override;
  HRESULT GetBodyScrollSize(long* width, long* height) override;
  HRESULT ExecScript(LPCWSTR code, LPCWSTR language) override;

 private:
  FakeDispatch* script_;
  long width_, height_;
  std::mutex lock_;
  std::vector<std::wstring> scripts_;
};

// Pumps the calling thread's messages until `done` is true or `timeoutMs`
// has passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
// Pumps for `ms`.
void PumpFor(DWORD ms);

// A string variant owned by the caller.
VARIANT StringVariant(const wchar_t* text);
VARIANT IntVariant(int value);

}  // namespace uitest
