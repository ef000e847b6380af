// A stand-in for the main dialog that records the page calls native code
// makes ("setProgress" and the like) instead of running page script. Install
// it as App::mainDialog for the length of a test.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "ui/bs_dialog.h"

namespace testkit {

struct NetPageCall {
  std::wstring function;
  // Arguments in the page's order (first parameter first).
  std::vector<VARIANT> args;
};

class NetPageRecorder : public Zentrava::UI::IBSDialog {
 public:
  NetPageRecorder() : previous_(Zentrava::App::mainDialog.exchange(this)) {}
  ~NetPageRecorder() override {
    Zentrava::App::mainDialog.store(previous_);
    for (NetPageCall& call : calls_)
      for (VARIANT& v : call.args) VariantClear(&v);
  }
  NetPageRecorder(const NetPageRecorder&) = delete;
  NetPageRecorder& operator=(const NetPageRecorder&) = delete;

  HWND GetHwnd() const override { return nullptr; }
  HRESULT ResizeWindow(int, int) override { return E_NOTIMPL; }
  bool ExecuteCommand(const VARIANT*, const VARIANT*, const VARIANT*, const VARIANT*,
                      const VARIANT*, VARIANT*) override {
    return false;
  }
  HRESULT CallFunction(LPCWSTR name, VARIANT* args, UINT count, VARIANT*) override {
    NetPageCall call;
    call.function = name ? name : L"";
    for (UINT i = count; i > 0; --i) {
      VARIANT copy;
      VariantInit(&copy);
      VariantCopy(&copy, &args[i - 1]);
      call.args.push_back(copy);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    return S_OK;
  }
  HRESULT SetVariable(LPCWSTR, const VARIANT*) override { return E_NOTIMPL; }
  HRESULT GetVariable(LPCWSTR, VARIANT*) override { return E_NOTIMPL; }
  HRESULT ExecScript(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT CreateObject(LPCWSTR, IDispatchEx**, const Zentrava::UI::ObjectInitializer&) override {
    return E_NOTIMPL;
  }

  size_t count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.size();
  }
  // Only valid while no call is being recorded.
  const std::vector<NetPageCall>& calls() const { return calls_; }

 private:
  Zentrava::UI::IBSDialog* previous_;
  mutable std::mutex mutex_;
  std::vector<NetPageCall> calls_;
};

}  // namespace testkit
