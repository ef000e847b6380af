// The browser's document behind IPageDocument. Element handlers are not
// attached element by element: one sink on the document receives every
// click, mouse-down and drag start as it bubbles, and finds the reserved
// element the event came through, which also covers elements the page adds
// later. The body's resize arrives as the window's resize.
#include "ui/page_document.h"

#include <mshtml.h>
#include <mshtmdid.h>
#include <ocidl.h>

#include <string>

#include "support/scoped_handle.h"

namespace Zentrava::UI {
namespace {

// The event dispinterfaces' ids are declared by the headers but not in the
// import libraries.
const IID kHtmlDocumentEvents2 = {0x3050f613, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
const IID kHtmlWindowEvents2 = {0x3050f625, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};

const wchar_t* const kClickIds[] = {L"ui_close", L"ui_quit", L"ui_maximize",
                                    L"ui_restore", L"ui_minimize", L"ui_menu"};
const wchar_t* const kMouseDownIds[] = {L"ui_title"};

std::wstring ElementId(IHTMLElement* element) {
  ScopedBstr id;
  if (FAILED(element->get_id(id.put())) || !id) return std::wstring();
  return std::wstring(id.get(), SysStringLen(id.get()));
}

bool IsAnchor(IHTMLElement* element) {
  ScopedBstr tag;
  return SUCCEEDED(element->get_tagName(tag.put())) && tag && _wcsicmp(tag.get(), L"a") == 0;
}

template <size_t N>
bool IsOneOf(const std::wstring& id, const wchar_t* const (&ids)[N]) {
  for (const wchar_t* candidate : ids)
    if (id == candidate) return true;
  return false;
}

// Sink for the document's and the window's event interfaces.
class EventSink final : public IDispatch {
 public:
  EventSink(REFIID events, IPageEventTarget* target) : events_(events), target_(target) {}
  void Detach() { target_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
  }
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
    if (target_ == nullptr || params == nullptr || params->cArgs < 1 ||
        params->rgvarg[0].vt != VT_DISPATCH || params->rgvarg[0].pdispVal == nullptr)
      return S_OK;
    ComPtr<IHTMLEventObj> event;
    if (FAILED(params->rgvarg[0].pdispVal->QueryInterface(IID_IHTMLEventObj, event.put_void())))
      return S_OK;
    bool answer = true;
    if (!Dispatch(id, event.get(), &answer)) return S_OK;
    if (!answer) {
      VARIANT no;
      VariantInit(&no);
      no.vt = VT_BOOL;
      no.boolVal = VARIANT_FALSE;
      event->put_returnValue(no);
    }
    if (result) {
      VariantClear(result);
      result->vt = VT_BOOL;
      result->boolVal = answer ? VARIANT_TRUE : VARIANT_FALSE;
    }
    return S_OK;
  }

 private:
  // Returns whether the event concerned a handled element.
  bool Dispatch(DISPID id, IHTMLEventObj* event, bool* answer) {
    if (id == DISPID_HTMLWINDOWEVENTS2_ONRESIZE && events_ == kHtmlWindowEvents2) {
      *answer = target_->OnPageEvent(PageEvent::BodyResize, nullptr, nullptr);
      return true;
    }
    PageEvent kind;
    if (id == DISPID_HTMLDOCUMENTEVENTS2_ONCLICK) {
      kind = PageEvent::Click;
    } else if (id == DISPID_HTMLDOCUMENTEVENTS2_ONMOUSEDOWN) {
      kind = PageEvent::MouseDown;
    } else if (id == static_cast<DISPID>(DISPID_HTMLDOCUMENTEVENTS2_ONDRAGSTART)) {
      kind = PageEvent::AnchorDragStart;
    } else {
      return false;
    }
    ComPtr<IHTMLElement> source;
    if (FAILED(event->get_srcElement(source.put())) || !source) return false;
    std::wstring sourceId = ElementId(source.get());
    ComPtr<IHTMLElement> element = ComPtr<IHTMLElement>::Retain(source.get());
    while (element) {
      if (kind == PageEvent::AnchorDragStart) {
        if (IsAnchor(element.get())) {
          *answer = target_->OnPageEvent(kind, nullptr, sourceId.c_str());
          return true;
        }
      } else {
        std::wstring id = ElementId(element.get());
        if ((kind == PageEvent::Click && IsOneOf(id, kClickIds)) ||
            (kind == PageEvent::MouseDown && IsOneOf(id, kMouseDownIds))) {
          *answer = target_->OnPageEvent(kind, id.c_str(), sourceId.c_str());
          return true;
        }
      }
      ComPtr<IHTMLElement> parent;
      if (FAILED(element->get_parentElement(parent.put()))) break;
      element = std::move(parent);
    }
    return false;
  }

  ~EventSink() = default;
  LONG refs_ = 1;
  IID events_;
  IPageEventTarget* target_;
};

// One advised connection, undone on destruction.
class Connection {
 public:
  Connection() = default;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { Disconnect(); }

  void Connect(IUnknown* source, REFIID events, IPageEventTarget* target) {
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, container.put_void())))
      return;
    if (FAILED(container->FindConnectionPoint(events, point_.put()))) return;
    sink_.reset(new EventSink(events, target));
    if (FAILED(point_->Advise(sink_.get(), &cookie_))) {
      cookie_ = 0;
      point_.reset();
    }
  }
  void Disconnect() {
    if (sink_) sink_->Detach();
    if (point_ && cookie_ != 0) point_->Unadvise(cookie_);
    cookie_ = 0;
    point_.reset();
    sink_.reset();
  }

 private:
  ComPtr<IConnectionPoint> point_;
  ComPtr<EventSink> sink_;
  DWORD cookie_ = 0;
};

class HtmlPageDocument : public IPageDocument {
 public:
  HtmlPageDocument(IHTMLDocument2* document, IPageEventTarget* target)
      : document_(ComPtr<IHTMLDocument2>::Retain(document)) {
    if (target == nullptr) return;
    documentEvents_.Connect(document, kHtmlDocumentEvents2, target);
    ComPtr<IHTMLWindow2> window;
    if (SUCCEEDED(document_->get_parentWindow(window.put())) && window)
      windowEvents_.Connect(window.get(), kHtmlWindowEvents2, target);
  }

  HRESULT GetScript(IDispatch** script) override {
    ComPtr<IDispatch> object;
    HRESULT hr = document_->get_Script(object.put());
    if (FAILED(hr)) return hr;
    if (!object) return E_POINTER;
    *script = object.release();
    return S_OK;
  }

  HRESULT GetBodyScrollSize(long* width, long* height) override {
    ComPtr<IHTMLElement> body;
    HRESULT hr = document_->get_body(body.put());
    if (FAILED(hr)) return hr;
    if (!body) return E_POINTER;
    ComPtr<IHTMLElement2> body2;
    hr = body.As(&body2);
    if (FAILED(hr)) return hr;
    long w = 0, h = 0;
    if (FAILED(hr = body2->get_scrollWidth(&w)) || FAILED(hr = body2->get_scrollHeight(&h)))
      return hr;
    *width = w;
    *height = h;
    return S_OK;
  }

  HRESULT ExecScript(LPCWSTR code, LPCWSTR language) override {
    ComPtr<IHTMLWindow2> window;
    HRESULT hr = document_->get_parentWindow(window.put());
    if (FAILED(hr)) return hr;
    if (!window) return E_POINTER;
    ScopedBstr codeText(SysAllocString(code));
    ScopedBstr languageText(SysAllocString(language));
    VARIANT ignored;
    VariantInit(&ignored);
    hr = window->execScript(codeText.get(), languageText.get(), &ignored);
    VariantClear(&ignored);
    return hr;
  }

 private:
  ComPtr<IHTMLDocument2> document_;
  Connection documentEvents_;
  Connection windowEvents_;
};

}  // namespace

std::unique_ptr<IPageDocument> CreateHtmlPageDocument(IHTMLDocument2* document,
                                                      IPageEventTarget* target) {
  if (document == nullptr) return nullptr;
  return std::make_unique<HtmlPageDocument>(document, target);
}

}  // namespace Zentrava::UI
