// The external object has no type library: names map to dispatch ids through
// a fixed table, and Invoke unpacks the positional arguments itself (they
// arrive last first; ones the page left out are treated as undefined).
#include "ui/external_object.h"

#include <objbase.h>

#include "ui/cbs_dialog.h"

namespace Zentrava::UI {
namespace {

struct Method {
  const wchar_t* name;
  DISPID id;
};
const Method kMethods[] = {
    {L"getCom", kDispGetCom},
    {L"callc", kDispCallc},
    {L"asyncallc", kDispAsyncallc},
    {L"asyncalld", kDispAsyncalld},
};

// Positional argument `index` (0 = first) dereferenced into `out`; empty when
// the page passed fewer.
void ArgumentAt(const DISPPARAMS* params, UINT index, VARIANT* out) {
  VariantInit(out);
  if (params == nullptr || index >= params->cArgs) return;
  VariantCopyInd(out, &params->rgvarg[params->cArgs - 1 - index]);
}

}  // namespace

STDMETHODIMP ExternalObject::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ExternalObject::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) ExternalObject::Release() {
  LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return refs;
}

STDMETHODIMP ExternalObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP ExternalObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP ExternalObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                           DISPID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  // Only the member name can be resolved; these methods take no named arguments.
  for (const Method& method : kMethods) {
    if (names[0] && _wcsicmp(names[0], method.name) == 0) {
      ids[0] = method.id;
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
  }
  return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP ExternalObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO*, UINT*) {
  if (id < kDispGetCom || id > kDispAsyncalld) return DISP_E_MEMBERNOTFOUND;
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (result) VariantInit(result);
  if (owner_ == nullptr || owner_->closing()) return S_OK;

  VARIANT args[6];
  UINT wanted = id == kDispGetCom ? 1 : id == kDispCallc ? 5 : 6;
  for (UINT i = 0; i < wanted; ++i) ArgumentAt(params, i, &args[i]);

  switch (id) {
    case kDispGetCom: {
      ComPtr<IDispatch> object;
      if (SUCCEEDED(VariantChangeType(&args[0], &args[0], 0, VT_BSTR)) && args[0].bstrVal)
        object = CreateComObjectForPage(args[0].bstrVal);
      if (result) {
        result->vt = VT_DISPATCH;
        result->pdispVal = object.release();
      }
      break;
    }
    case kDispCallc:
      if (ScriptCallback callback = owner_->scriptCallback()) {
        VARIANT value = callback(owner_, &args[0], &args[1], &args[2], &args[3], &args[4]);
        if (result)
          *result = value;
        else
          VariantClear(&value);
      }
      break;
    case kDispAsyncallc:
    case kDispAsyncalld:
      AsyncCall(id == kDispAsyncallc, args);
      break;
  }
  for (UINT i = 0; i < wanted; ++i) VariantClear(&args[i]);
  return S_OK;
}

void ExternalObject::AsyncCall(bool queued, VARIANT* args) {
  if (!owner_->AcquireForJob()) return;
  IDispatch* completion = args[0].vt == VT_DISPATCH ? args[0].pdispVal : nullptr;
  auto* job = new ExternalAsyncThread(owner_, completion, &args[1]);
  job->queued = queued;
  Model::Submit(job);
}

ComPtr<IDispatch> CreateComObjectForPage(LPCWSTR identifier) {
  ComPtr<IDispatch> object;
  if (identifier == nullptr) return object;
  CLSID clsid;
  HRESULT hr = identifier[0] == L'{' ? CLSIDFromString(const_cast<LPWSTR>(identifier), &clsid)
                                     : CLSIDFromProgID(identifier, &clsid);
  if (FAILED(hr)) return object;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, object.put_void())))
    object.reset();
  return object;
}

ExternalAsyncThread::ExternalAsyncThread(CBSDialog* owner, IDispatch* completion,
                                         const VARIANT* args)
    : owner_(owner), completion_(ComPtr<IDispatch>::Retain(completion)) {
  for (int i = 0; i < 5; ++i) {
    VariantInit(&arguments_[i]);
    VariantCopy(&arguments_[i], const_cast<VARIANT*>(&args[i]));
  }
}

ExternalAsyncThread::~ExternalAsyncThread() {
  for (VARIANT& argument : arguments_) VariantClear(&argument);
  completion_.reset();
  owner_->ReleaseFromJob();
}

void ExternalAsyncThread::Run() {
  // A job that starts after its dialog began to go runs nothing.
  if (owner_->closing()) return;
  VARIANT delivery[2];
  VariantInit(&delivery[0]);
  VariantInit(&delivery[1]);
  if (ScriptCallback callback = owner_->scriptCallback())
    delivery[0] = callback(owner_, &arguments_[0], &arguments_[1], &arguments_[2], &arguments_[3],
                           &arguments_[4]);
  if (completion_) {
    delivery[1].vt = VT_DISPATCH;
    delivery[1].pdispVal = completion_.get();
    completion_->AddRef();
    owner_->InvokeCompletion(completion_.get(), delivery);
  }
  VariantClear(&delivery[0]);
  VariantClear(&delivery[1]);
}

namespace {
bool IsJobOf(Model::IThreadParameter* job, void* owner) {
  auto* external = dynamic_cast<ExternalAsyncThread*>(job);
  return external != nullptr && external->owner() == owner;
}
}  // namespace

int DiscardQueuedJobsOf(CBSDialog* owner) { return Model::DiscardQueuedJobs(&IsJobOf, owner); }

}  // namespace Zentrava::UI
