// The page's window.external: "callc" runs a script command at once,
// "asyncallc" and "asyncalld" run it on a pool thread and hand the result to
// a completion function, "getCom" creates a COM object for the page.
//
// Jobs and the dialog's end: a job holds its dialog (CBSDialog::AcquireForJob)
// from submission until it is released, so the dialog object outlives every
// job that may still touch it. Destroying the dialog drops its queued jobs
// unrun, then waits up to kJobDrainTimeoutMs for running ones while serving
// their page calls with kDialogGone, and never waits longer: a job still
// running then keeps the (windowless) dialog object alive and frees it
// itself. From the moment destruction begins no job calls the script
// callback or the page, and no new job is accepted.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "support/scoped_handle.h"
#include "ui/thread_pool.h"

namespace Zentrava::UI {

class CBSDialog;

class ExternalObject final : public IDispatch {
 public:
  explicit ExternalObject(CBSDialog* owner) : owner_(owner) {}
  // The dialog is gone: every method does nothing from now on.
  void Detach() { owner_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT* argError) override;

 private:
  ~ExternalObject() = default;
  void AsyncCall(bool queued, VARIANT* args /* completion, name, a1..a4 */);

  LONG refs_ = 1;
  CBSDialog* owner_;
};

// Dispatch ids of the external object's methods.
enum ExternalDispId : DISPID {
  kDispGetCom = 1,
  kDispCallc = 2,
  kDispAsyncallc = 3,
  kDispAsyncalld = 4,
};

// Creates a COM object as the page's getCom does: a class id when the text
// begins with "{", a program id otherwise. Null on any failure.
ComPtr<IDispatch> CreateComObjectForPage(LPCWSTR identifier);

// One asynchronous script call: the command and its completion.
class ExternalAsyncThread : public Model::IThreadParameter {
 public:
  // Takes over a hold on `owner` already acquired with AcquireForJob.
  // `args` are name, a1..a4; they are copied.
  ExternalAsyncThread(CBSDialog* owner, IDispatch* completion, const VARIANT* args);
  ~ExternalAsyncThread() override;
  ExternalAsyncThread(const ExternalAsyncThread&) = delete;
  ExternalAsyncThread& operator=(const ExternalAsyncThread&) = delete;

  void Run() override;
  CBSDialog* owner() const { return owner_; }

 private:
  CBSDialog* owner_;
  ComPtr<IDispatch> completion_;
  VARIANT arguments_[5];
};

// Drops, unrun, the queued jobs of `owner`; returns how many.
int DiscardQueuedJobsOf(CBSDialog* owner);

}  // namespace Zentrava::UI
