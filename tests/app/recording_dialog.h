// A stand-in for the HTML dialog that records every page call instead of
// running script, and answers them as a test says.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <string>
#include <vector>

#include "support/scoped_handle.h"
#include "ui/bs_dialog.h"

namespace apptest {

struct PageCall {
  std::wstring name;
  // The arguments as passed: element 0 is the last parameter.
  std::vector<Zentrava::ScopedVariant> args;
};

class RecordingDialog : public Zentrava::UI::IBSDialog {
 public:
  // Answers a page call; the default leaves the result empty and succeeds.
  using Answer = std::function<HRESULT(const std::wstring& name, VARIANT* result)>;

  HWND window = nullptr;
  Answer answer;
  std::vector<PageCall> calls;

  // Names of the recorded calls, in order.
  std::vector<std::wstring> Names() const;

  HWND GetHwnd() const override { return window; }
  HRESULT ResizeWindow(int, int) override { return S_OK; }
  bool ExecuteCommand(const VARIANT*, const VARIANT*, const VARIANT*, const VARIANT*,
                      const VARIANT*, VARIANT*) override {
    return false;
  }
  HRESULT CallFunction(LPCWSTR name, VARIANT* args, UINT count, VARIANT* result) override;
  HRESULT SetVariable(LPCWSTR, const VARIANT*) override { return E_NOTIMPL; }
  HRESULT GetVariable(LPCWSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT ExecScript(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT CreateObject(LPCWSTR, IDispatchEx**, const Zentrava::UI::ObjectInitializer&) override {
    return E_NOTIMPL;
  }
};

// Text of a BSTR variant ("" for a null BSTR); "<type N>" for other types.
std::wstring Text(const VARIANT& v);

}  // namespace apptest
