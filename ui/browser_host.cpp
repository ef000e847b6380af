// OLE quirks worth knowing here: the control asks its client site for
// IDispatch to read ambient properties (the download control flags), so the
// site's IDispatch serves those and the browser events at once (their ids do
// not overlap). Tear-down must run in a fixed order (unadvise, deactivate,
// close, drop the site), and the site outlives its window only as an inert
// object, since the control may still hold references to it.
#include "ui/browser_host.h"

#include <exdispid.h>
#include <mshtmdid.h>
#include <mshtmhst.h>
#include <mshtml.h>
#include <ocidl.h>

#include "ui/host_rules.h"

namespace Zentrava::UI {

namespace {
std::wstring VariantText(const VARIANT* value) {
  if (value == nullptr) return std::wstring();
  if (value->vt == (VT_BYREF | VT_VARIANT)) value = value->pvarVal;
  if (value == nullptr) return std::wstring();
  if (value->vt == VT_BSTR && value->bstrVal)
    return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
  if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal && *value->pbstrVal)
    return std::wstring(*value->pbstrVal, SysStringLen(*value->pbstrVal));
  return std::wstring();
}

bool IsString(const VARIANT* value) {
  if (value != nullptr && value->vt == (VT_BYREF | VT_VARIANT)) value = value->pvarVal;
  return value != nullptr && (value->vt == VT_BSTR || value->vt == (VT_BYREF | VT_BSTR));
}

void SetCancel(VARIANT* cancel) {
  if (cancel != nullptr && cancel->vt == (VT_BYREF | VT_BOOL) && cancel->pboolVal)
    *cancel->pboolVal = VARIANT_TRUE;
}
}  // namespace

class HostSite final : public IOleClientSite,
                 public IOleInPlaceSite,
                 public IOleInPlaceFrame,
                 public IDocHostUIHandler,
                 public IDispatch {
 public:
  HostSite(HWND window, IBrowserHostClient* client) : window_(window), client_(client) {}
  void Detach() {
    client_ = nullptr;
    window_ = nullptr;
  }
  void SetObject(IOleInPlaceObject* object) { inPlace_ = ComPtr<IOleInPlaceObject>::Retain(object); }
  IOleInPlaceObject* inPlaceObject() const { return inPlace_.get(); }
  void DropObject() { inPlace_.reset(); }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
      *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleInPlaceSite || iid == IID_IOleWindow)
      *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceFrame || iid == IID_IOleInPlaceUIWindow)
      *out = static_cast<IOleInPlaceFrame*>(this);
    else if (iid == IID_IDocHostUIHandler)
      *out = static_cast<IDocHostUIHandler*>(this);
    else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
      *out = static_cast<IDispatch*>(this);
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and frame)
  STDMETHODIMP GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return window_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr ||
        info == nullptr)
      return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    GetClientRect(window_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT position) override {
    if (inPlace_ && position) inPlace_->SetObjectRects(position, position);
    return S_OK;
  }

  // IOleInPlaceUIWindow / IOleInPlaceFrame: no toolbars, menus or status.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostUIHandler
  STDMETHODIMP ShowContextMenu(DWORD menuKind, POINT*, IUnknown*, IDispatch*) override {
    return ShowsBrowserContextMenu(menuKind) ? S_FALSE : S_OK;
  }
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override {
    if (info == nullptr) return E_POINTER;
    info->dwFlags = client_ ? client_->HostFlags() : 0;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override {
    return S_OK;
  }
  STDMETHODIMP HideUI() override { return S_OK; }
  STDMETHODIMP UpdateUI() override { return S_OK; }
  STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG message, const GUID*, DWORD) override {
    if (message != nullptr && message->message == WM_KEYDOWN &&
        IsBlockedKey(static_cast<UINT>(message->wParam), GetAsyncKeyState(VK_CONTROL) < 0,
                     GetAsyncKeyState(VK_MENU) < 0))
      return S_OK;
    return S_FALSE;
  }
  STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD) override {
    if (key) *key = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return E_NOTIMPL; }
  STDMETHODIMP GetExternal(IDispatch** external) override {
    if (external == nullptr) return E_POINTER;
    *external = client_ ? client_->External() : nullptr;
    if (*external == nullptr) return S_FALSE;
    (*external)->AddRef();
    return S_OK;
  }
  STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR* translated) override {
    if (translated) *translated = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject** result) override {
    if (result) *result = nullptr;
    return S_FALSE;
  }

  // IDispatch: ambient properties and DWebBrowserEvents2.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO*, UINT*) override {
    if (id == DISPID_AMBIENT_DLCONTROL) {
      if (result == nullptr) return E_POINTER;
      VariantInit(result);
      result->vt = VT_I4;
      result->lVal = DLCTL_DLIMAGES | DLCTL_VIDEOS | DLCTL_BGSOUNDS;
      return S_OK;
    }
    if (params == nullptr) return DISP_E_MEMBERNOTFOUND;
    VARIANT* args = params->rgvarg;
    switch (id) {
      case DISPID_BEFORENAVIGATE2:  // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
        if (params->cArgs == 7 && client_ && IsString(&args[5]) &&
            client_->OnBeforeNavigate(VariantText(&args[5])))
          SetCancel(&args[0]);
        return S_OK;
      case DISPID_NEWWINDOW2:  // (ppDisp, Cancel)
        if (params->cArgs == 2) SetCancel(&args[0]);
        return S_OK;
      case DISPID_NEWWINDOW3:  // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl)
        if (params->cArgs == 5) {
          SetCancel(&args[3]);
          if (client_) client_->OnNewWindow(VariantText(&args[0]));
        }
        return S_OK;
      case DISPID_DOCUMENTCOMPLETE:  // (pDisp, URL)
        if (params->cArgs == 2 && client_) client_->OnDocumentComplete(VariantText(&args[0]), IsTopLevel(&args[1]));
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

  void SetBrowser(IWebBrowser2* browser) { browser_ = browser; }

 private:
  ~HostSite() = default;

  bool IsTopLevel(const VARIANT* frame) const {
    if (frame->vt != VT_DISPATCH || frame->pdispVal == nullptr || browser_ == nullptr) return false;
    ComPtr<IUnknown> a, b;
    frame->pdispVal->QueryInterface(IID_IUnknown, a.put_void());
    browser_->QueryInterface(IID_IUnknown, b.put_void());
    return a && a.get() == b.get();
  }

  LONG refs_ = 1;
  HWND window_;
  IBrowserHostClient* client_;
  ComPtr<IOleInPlaceObject> inPlace_;
  IWebBrowser2* browser_ = nullptr;  // not owned: the host holds the control
};

std::unique_ptr<BrowserHost> BrowserHost::Create(HWND window, IBrowserHostClient* client) {
  std::unique_ptr<BrowserHost> host(new BrowserHost());
  if (FAILED(host->Activate(window, client))) return nullptr;
  return host;
}

HRESULT BrowserHost::Activate(HWND window, IBrowserHostClient* client) {
  window_ = window;
  site_.reset(new HostSite(window, client));
  HRESULT hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                object_.put_void());
  if (FAILED(hr)) return hr;
  if (FAILED(hr = object_->SetClientSite(static_cast<IOleClientSite*>(site_.get())))) return hr;
  if (FAILED(hr = object_.As(&browser_))) return hr;
  site_->SetBrowser(browser_.get());

  ComPtr<IConnectionPointContainer> container;
  if (SUCCEEDED(object_.As(&container)) &&
      SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, events_.put()))) {
    if (FAILED(events_->Advise(static_cast<IDispatch*>(site_.get()), &eventsCookie_))) {
      eventsCookie_ = 0;
      events_.reset();
    }
  }

  RECT client_rect;
  GetClientRect(window, &client_rect);
  hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                       static_cast<IOleClientSite*>(site_.get()), 0, window, &client_rect);
  if (FAILED(hr)) return hr;
  ComPtr<IOleInPlaceObject> inPlace;
  if (SUCCEEDED(object_.As(&inPlace))) site_->SetObject(inPlace.get());
  FitToClient();
  return S_OK;
}

BrowserHost::~BrowserHost() {
  if (events_ && eventsCookie_ != 0) events_->Unadvise(eventsCookie_);
  events_.reset();
  if (site_) {
    if (IOleInPlaceObject* inPlace = site_->inPlaceObject()) inPlace->InPlaceDeactivate();
    site_->DropObject();
    site_->SetBrowser(nullptr);
    site_->Detach();
  }
  browser_.reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_.reset();
  }
  site_.reset();
}

void BrowserHost::FitToClient() {
  IOleInPlaceObject* inPlace = site_ ? site_->inPlaceObject() : nullptr;
  if (inPlace == nullptr) return;
  RECT rect;
  GetClientRect(window_, &rect);
  inPlace->SetObjectRects(&rect, &rect);
}

HRESULT BrowserHost::Navigate(const std::wstring& url) {
  if (!browser_) return E_POINTER;
  ScopedBstr target(SysAllocStringLen(url.data(), static_cast<UINT>(url.size())));
  if (!target) return E_OUTOFMEMORY;
  VARIANT empty;
  VariantInit(&empty);
  return browser_->Navigate(target.get(), &empty, &empty, &empty, &empty);
}

}  // namespace Zentrava::UI
