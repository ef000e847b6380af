// CBSDialog: window, browser control, page calls and element handlers. The
// window and everything in the page belong to the thread that created the
// dialog; other threads reach the page only through SendMessageW, so page
// code never runs on two threads and no lock is needed here.
#include "ui/cbs_dialog.h"

#include <mshtml.h>
#include <mshtmhst.h>

#include <algorithm>
#include <vector>

#include "app/app_state.h"
#include "ui/external_object.h"
#include "ui/host_rules.h"
#include "ui/new_window.h"
#include "ui/resource_module.h"

namespace Zentrava::UI {
namespace {

// Touched only on dialog threads (the program has one).
std::vector<IBSDialog*>& LiveDialogs() {
  static std::vector<IBSDialog*> dialogs;
  return dialogs;
}
// Every dialog made and not yet freed by DestroyBSDialog, so that a pointer
// from elsewhere is never taken for one.
std::vector<IBSDialog*>& CreatedDialogs() {
  static std::vector<IBSDialog*> dialogs;
  return dialogs;
}

void Erase(std::vector<IBSDialog*>& list, IBSDialog* dialog) {
  list.erase(std::remove(list.begin(), list.end(), dialog), list.end());
}

std::atomic<UINT> g_assistantNotify{0};

UINT RegisterAssistantNotify() {
  UINT message = g_assistantNotify.load();
  if (message == 0) {
    message = RegisterWindowMessageW(L"AssistantNotify");
    g_assistantNotify.store(message);
  }
  return message;
}

DWORD WindowStyle(bool caption, bool fitToPage) {
  DWORD style = WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX | DS_FIXEDSYS;
  if (caption) style |= WS_CAPTION | DS_MODALFRAME;
  if (!fitToPage) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
  return style;
}

// A template with no controls: the header, then empty menu, class and title.
struct EmptyDialogTemplate {
  DLGTEMPLATE header;
  WORD menu;
  WORD windowClass;
  WORD title;
};

}  // namespace

UINT AssistantNotifyMessage() { return RegisterAssistantNotify(); }

CBSDialog::CBSDialog(const BSDialogParams& params)
    : scriptCallback_(params.scriptCallback),
      messageCallback_(params.messageCallback),
      menuProvider_(params.menuProvider),
      menu_(params.menu),
      icon_(params.icon),
      maxWidth_(params.maxWidth),
      maxHeight_(params.maxHeight),
      fitToPage_(params.fitToPage != FALSE),
      resourceModule_(params.resourceModule ? params.resourceModule : ResourceModule()),
      htmlResourceId_(params.htmlResourceId),
      htmlResourceName_(params.htmlResourceName ? params.htmlResourceName : L""),
      startUrl_(params.startUrl ? params.startUrl : L""),
      hostFlags_(DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO) {
  external_.reset(new ExternalObject(this));
}

CBSDialog::~CBSDialog() {
  if (external_) external_->Detach();
}

CBSDialog* CBSDialog::Create(const BSDialogParams& params) {
  if (params.resourceModule) SetResourceModule(params.resourceModule);
  auto* dialog = new CBSDialog(params);

  EmptyDialogTemplate dialogTemplate = {};
  dialogTemplate.header.style = WindowStyle(params.caption, params.fitToPage != FALSE);
  dialogTemplate.header.dwExtendedStyle = WS_EX_APPWINDOW;
  dialogTemplate.header.cdit = 0;
  dialogTemplate.header.x = 0;
  dialogTemplate.header.y = 0;
  // The template holds 16-bit sizes; a larger maximum must not wrap negative.
  dialogTemplate.header.cx = static_cast<short>(std::min(std::max(params.maxWidth, 0), 0x7FFF));
  dialogTemplate.header.cy = static_cast<short>(std::min(std::max(params.maxHeight, 0), 0x7FFF));

  HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), &dialogTemplate.header,
                                           params.parent, &CBSDialog::DialogProc,
                                           reinterpret_cast<LPARAM>(dialog));
  if (window == nullptr || !dialog->host_) {
    // Creation failed part-way: the window (if any) goes, and with it the dialog.
    if (window != nullptr) DestroyWindow(window);
    dialog->ReleaseSelf();
    return nullptr;
  }
  if (params.title) SetWindowTextW(window, params.title);
  LiveDialogs().push_back(dialog);
  CreatedDialogs().push_back(dialog);
  return dialog;
}

INT_PTR CALLBACK CBSDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CBSDialog*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    dialog->hwnd_ = window;
    dialog->OnInitDialog();
    return TRUE;
  }
  auto* dialog = reinterpret_cast<CBSDialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (dialog == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return FALSE;
  }
  return dialog->HandleMessage(message, wParam, lParam);
}

bool CBSDialog::OnInitDialog() {
  uiThreadId_ = GetCurrentThreadId();
  hostFlags_ |= DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_THEME;

  host_ = BrowserHost::Create(hwnd_, this);
  if (!host_) return false;
  std::wstring url = htmlResourceId_ != 0      ? ResourceUrl(resourceModule_, htmlResourceId_)
                     : !htmlResourceName_.empty() ? ResourceUrl(resourceModule_, htmlResourceName_.c_str())
                                                  : startUrl_;
  if (IWebBrowser2* browser = host_->browser()) {
    browser->put_Silent(VARIANT_TRUE);
    browser->put_RegisterAsDropTarget(VARIANT_FALSE);
  }
  if (!url.empty()) host_->Navigate(url);

  if (icon_) {
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  }
  // Other processes (the tray companion, a second copy) reach this window
  // through these two messages, possibly from a lower integrity level.
  App::AllowWindowMessage(RegisterAssistantNotify(), hwnd_);
  App::AllowWindowMessage(WM_COPYDATA, hwnd_);
  return true;
}

INT_PTR CBSDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kPageCallMessage: {
      HRESULT hr = RunPageCall(wParam, reinterpret_cast<PageCallRequest*>(lParam));
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, static_cast<LONG_PTR>(hr));
      return TRUE;
    }
    case WM_SIZE:
      if (host_) host_->FitToClient();
      return FALSE;
    case WM_TIMER:
      KillTimer(hwnd_, wParam);
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hwnd_);
      Notify(WM_CLOSE, 0, 0);
      return TRUE;
    case WM_COMMAND:
      // Menu choices and every other command go to the owner of the dialog;
      // the dialog's own OK/Cancel handling never runs.
      Notify(WM_COMMAND, 0, LOWORD(wParam));
      return TRUE;
    case WM_COPYDATA:
      Notify(WM_COPYDATA, wParam, lParam);
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_DESTROY:
      OnDestroyWindow();
      return FALSE;
    default:
      if (message != 0 && message == g_assistantNotify.load()) {
        Notify(0x8001, wParam, lParam);
        return TRUE;
      }
      return FALSE;
  }
}

void CBSDialog::Notify(UINT message, WPARAM first, LPARAM second) {
  if (messageCallback_) messageCallback_(this, message, first, second);
}

void CBSDialog::OnDestroyWindow() {
  // The page goes with the window: from here on page calls fail and no
  // asynchronous job is accepted.
  closing_.store(true);
  windowDestroyed_ = true;
  document_.reset();
  latestDocument_.reset();
  documentIdentity_ = nullptr;
  host_.reset();
  if (external_) external_->Detach();
  auto& live = LiveDialogs();
  const bool wasLive = std::find(live.begin(), live.end(), this) != live.end();
  Erase(live, this);
  // A dialog whose creation failed was never live and ends nothing.
  if (wasLive && live.empty()) PostQuitMessage(0);
}

void CBSDialog::Destroy() {
  closing_.store(true);
  DiscardQueuedJobsOf(this);
  WaitForJobs(kJobDrainTimeoutMs);
  if (!windowDestroyed_) DestroyWindow(hwnd_);
  Erase(CreatedDialogs(), this);
  ReleaseSelf();
}

void CBSDialog::WaitForJobs(DWORD timeoutMs) {
  // Serves sent messages while it waits: a running job may be blocked in a
  // page call to this window, which then fails (closing) instead of
  // deadlocking the two threads.
  DWORD start = GetTickCount();
  while (refs_.load() > 1) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(20, timeoutMs - elapsed),
                              QS_SENDMESSAGE);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

bool CBSDialog::AcquireForJob() {
  if (closing_.load()) return false;
  AddRefSelf();
  return true;
}

void CBSDialog::ReleaseFromJob() { ReleaseSelf(); }

void CBSDialog::AddRefSelf() { refs_.fetch_add(1); }

void CBSDialog::ReleaseSelf() {
  if (refs_.fetch_sub(1) == 1) delete this;
}

IDispatch* CBSDialog::External() { return external_.get(); }
IDispatch* CBSDialog::external() const { return external_.get(); }

// --- Page calls ---------------------------------------------------------

HRESULT CBSDialog::PageCall(PageCallOp op, PageCallRequest* request) {
  if (closing_.load()) return kDialogGone;
  if (GetCurrentThreadId() == uiThreadId_) return RunPageCall(op, request);
  SetLastError(ERROR_SUCCESS);
  LRESULT result = SendMessageW(hwnd_, kPageCallMessage, op, reinterpret_cast<LPARAM>(request));
  if (result == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE) return kDialogGone;
  return static_cast<HRESULT>(result);
}

HRESULT CBSDialog::RunPageCall(WPARAM op, PageCallRequest* request) {
  if (request == nullptr) return E_POINTER;
  if (closing_.load()) return kDialogGone;
  if (op == kCallCompletion) return DoCallCompletion(request);
  if (op < kCallFunction || op > kCreateObject) return E_FAIL;
  if (!document_) return E_POINTER;
  switch (op) {
    case kCallFunction:
      return DoCallFunction(request);
    case kSetVariable:
      return DoSetVariable(request);
    case kGetVariable:
      return DoGetVariable(request);
    case kExecScript:
      return document_->ExecScript(request->name, L"javascript");
    case kCreateObject:
      return DoCreateObject(request);
    default:
      return E_FAIL;
  }
}

namespace {
HRESULT LookUp(IDispatch* object, LPCWSTR name, DISPID* id) {
  if (name == nullptr) return E_INVALIDARG;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, id);
}

// Invokes and hands the result to `result` (cleared first) only on success.
HRESULT InvokeInto(IDispatch* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result) {
  ScopedVariant value;
  HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, params,
                              result ? value.ptr() : nullptr, nullptr, nullptr);
  if (SUCCEEDED(hr) && result) {
    VariantClear(result);
    *result = value.Release();
  }
  return hr;
}
}  // namespace

HRESULT CBSDialog::DoCallFunction(PageCallRequest* request) {
  ComPtr<IDispatch> script;
  HRESULT hr = document_->GetScript(script.put());
  if (FAILED(hr)) return hr;
  DISPID id;
  if (FAILED(hr = LookUp(script.get(), request->name, &id))) return hr;
  DISPPARAMS params = {request->args, nullptr, request->count, 0};
  return InvokeInto(script.get(), id, DISPATCH_METHOD, &params, request->result);
}

HRESULT CBSDialog::DoCallCompletion(PageCallRequest* request) {
  if (request->function == nullptr) return E_POINTER;
  DISPID id;
  HRESULT hr = LookUp(request->function, L"call", &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS params = {request->args, nullptr, request->count, 0};
  return InvokeInto(request->function, id, DISPATCH_METHOD, &params, request->result);
}

HRESULT CBSDialog::DoSetVariable(PageCallRequest* request) {
  if (request->value == nullptr) return E_POINTER;
  ComPtr<IDispatch> script;
  HRESULT hr = document_->GetScript(script.put());
  if (FAILED(hr)) return hr;
  DISPID id;
  if (FAILED(hr = LookUp(script.get(), request->name, &id))) return hr;
  ScopedVariant value;
  if (FAILED(hr = VariantCopy(value.ptr(), const_cast<VARIANT*>(request->value)))) return hr;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {value.ptr(), &named, 1, 1};
  return InvokeInto(script.get(), id, DISPATCH_PROPERTYPUT, &params, nullptr);
}

HRESULT CBSDialog::DoGetVariable(PageCallRequest* request) {
  if (request->result == nullptr) return E_POINTER;
  ComPtr<IDispatch> script;
  HRESULT hr = document_->GetScript(script.put());
  if (FAILED(hr)) return hr;
  DISPID id;
  if (FAILED(hr = LookUp(script.get(), request->name, &id))) return hr;
  DISPPARAMS params = {nullptr, nullptr, 0, 0};
  return InvokeInto(script.get(), id, DISPATCH_PROPERTYGET, &params, request->result);
}

HRESULT CBSDialog::DoCreateObject(PageCallRequest* request) {
  if (request->object == nullptr) return E_POINTER;
  ScopedVariant global;
  PageCallRequest read;
  read.name = request->name;
  read.result = global.ptr();
  HRESULT hr = DoGetVariable(&read);
  if (FAILED(hr)) return hr;
  if (global.get().vt != VT_DISPATCH || global.get().pdispVal == nullptr) return DISP_E_TYPEMISMATCH;
  ComPtr<IDispatchEx> constructor;
  if (FAILED(global.get().pdispVal->QueryInterface(__uuidof(IDispatchEx), constructor.put_void())))
    return E_NOINTERFACE;

  ScopedVariant made;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  hr = constructor->InvokeEx(DISPID_VALUE, LOCALE_USER_DEFAULT, DISPATCH_CONSTRUCT, &none,
                             made.ptr(), nullptr, nullptr);
  if (FAILED(hr)) return hr;
  if (made.get().vt != VT_DISPATCH || made.get().pdispVal == nullptr) return DISP_E_TYPEMISMATCH;
  ComPtr<IDispatchEx> object;
  if (FAILED(made.get().pdispVal->QueryInterface(__uuidof(IDispatchEx), object.put_void())))
    return E_NOINTERFACE;
  if (request->initializer && *request->initializer) {
    // A half-filled object is of no use to the caller: it is not handed out.
    if (FAILED(hr = (*request->initializer)(object.get()))) return hr;
  }
  *request->object = object.release();
  return S_OK;
}

HRESULT CBSDialog::CallFunction(LPCWSTR name, VARIANT* args, UINT count, VARIANT* result) {
  if (count != 0 && args == nullptr) return E_INVALIDARG;
  PageCallRequest request;
  request.name = name;
  request.args = args;
  request.count = count;
  request.result = result;
  return PageCall(kCallFunction, &request);
}

HRESULT CBSDialog::SetVariable(LPCWSTR name, const VARIANT* value) {
  PageCallRequest request;
  request.name = name;
  request.value = value;
  return PageCall(kSetVariable, &request);
}

HRESULT CBSDialog::GetVariable(LPCWSTR name, VARIANT* result) {
  PageCallRequest request;
  request.name = name;
  request.result = result;
  return PageCall(kGetVariable, &request);
}

HRESULT CBSDialog::ExecScript(LPCWSTR script) {
  if (script == nullptr) return E_INVALIDARG;
  PageCallRequest request;
  request.name = script;
  return PageCall(kExecScript, &request);
}

HRESULT CBSDialog::CreateObject(LPCWSTR constructorName, IDispatchEx** object,
                                const ObjectInitializer& initializer) {
  PageCallRequest request;
  request.name = constructorName;
  request.object = object;
  request.initializer = &initializer;
  return PageCall(kCreateObject, &request);
}

HRESULT CBSDialog::InvokeCompletion(IDispatch* completion, VARIANT* args) {
  PageCallRequest request;
  request.function = completion;
  request.args = args;
  request.count = 2;
  PageCall(kCallCompletion, &request);
  // Failures of the completion are the page's own business.
  return E_POINTER;
}

bool CBSDialog::ExecuteCommand(const VARIANT*, const VARIANT*, const VARIANT*, const VARIANT*,
                               const VARIANT*, VARIANT* result) {
  // The dialog-level command set is not offered by this build: every name is
  // unhandled and the result is left empty.
  if (result) {
    VariantClear(result);
  }
  return false;
}

// --- Window fitting -----------------------------------------------------

HRESULT CBSDialog::ResizeWindow(int width, int height) {
  if (width <= 0 || height <= 0) {
    IPageDocument* document = latestDocument_ ? latestDocument_.get() : document_.get();
    if (document == nullptr) return E_POINTER;
    long pageWidth = 0, pageHeight = 0;
    HRESULT hr = document->GetBodyScrollSize(&pageWidth, &pageHeight);
    if (FAILED(hr)) return hr;
    if (width <= 0) width = pageWidth;
    if (height <= 0) {
      height = pageHeight;
      if (GetWindowLongW(hwnd_, GWL_STYLE) & WS_BORDER)
        height += (hostFlags_ & DOCHOSTUIFLAG_SCROLL_NO) ? 28 : 20;
    }
  }
  if (maxWidth_ > 0) width = std::min(width, maxWidth_);
  if (maxHeight_ > 0) height = std::min(height, maxHeight_);
  if (!SetWindowPos(hwnd_, nullptr, 0, 0, width, height,
                    SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE))
    return HRESULT_FROM_WIN32(GetLastError());
  return S_OK;
}

void CBSDialog::CenterOnce() {
  RECT window;
  GetWindowRect(hwnd_, &window);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT area = monitor.rcWork;
  HWND owner = GetWindow(hwnd_, GW_OWNER);
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &area);
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  LONG x = area.left + (area.right - area.left - width) / 2;
  LONG y = area.top + (area.bottom - area.top - height) / 2;
  // Keep the window on its monitor's work area, as the system would.
  x = std::max(monitor.rcWork.left, std::min(x, monitor.rcWork.right - width));
  y = std::max(monitor.rcWork.top, std::min(y, monitor.rcWork.bottom - height));
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- Browser events -----------------------------------------------------

bool CBSDialog::OnBeforeNavigate(const std::wstring& url) {
  if (!IsCurrentPage(currentUrl_, url)) return false;
  ++cancelledNavigations_;
  return true;
}

void CBSDialog::OnNewWindow(const std::wstring& url) {
  if (NewWindowOpener opener = GetNewWindowOpener()) {
    if (!url.empty()) opener(url.c_str());
  }
}

void CBSDialog::OnDocumentComplete(const std::wstring& url, bool topLevel) {
  if (!topLevel || !host_ || closing_.load()) return;
  ComPtr<IDispatch> dispatch;
  if (FAILED(host_->browser()->get_Document(dispatch.put())) || !dispatch) return;
  ComPtr<IHTMLDocument2> html;
  if (FAILED(dispatch.As(&html))) return;
  ComPtr<IUnknown> identity;
  html->QueryInterface(IID_IUnknown, identity.put_void());
  // The same document completing again keeps its wrapper (and its event
  // connection), so element events never arrive twice.
  std::shared_ptr<IPageDocument> document;
  if (document_ && identity.get() == documentIdentity_)
    document = document_;
  else
    document = CreateHtmlPageDocument(html.get(), this);
  if (!document_) documentIdentity_ = identity.get();
  CompleteDocument(std::move(document), url);
}

void CBSDialog::CompleteDocument(std::shared_ptr<IPageDocument> document, const std::wstring& url) {
  if (closing_.load()) return;
  latestDocument_ = document;
  if (fitToPage_) ResizeWindow(-1, -1);
  if (currentUrl_.empty()) {
    CenterOnce();
    document_ = document;
  }
  currentUrl_ = NormalizeUrl(url);
}

// --- Element handlers ---------------------------------------------------

bool CBSDialog::OnPageEvent(PageEvent event, LPCWSTR elementId, LPCWSTR sourceId) {
  switch (event) {
    case PageEvent::BodyResize:
      if (fitToPage_) ResizeWindow(-1, -1);
      return true;
    case PageEvent::AnchorDragStart:
      return false;
    case PageEvent::MouseDown:
      if (elementId == nullptr || wcscmp(elementId, L"ui_title") != 0) return true;
      // Children of the title bar with an id of their own (its buttons) are
      // not handles for moving the window.
      if (sourceId != nullptr && sourceId[0] != L'\0' && wcscmp(sourceId, L"ui_title") != 0)
        return true;
      {
        POINT cursor;
        GetCursorPos(&cursor);
        PostMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION,
                     MAKELPARAM(static_cast<SHORT>(cursor.x), static_cast<SHORT>(cursor.y)));
      }
      return true;
    case PageEvent::Click:
      break;
  }
  if (elementId == nullptr) return true;
  const std::wstring id = elementId;
  if (id == L"ui_close") {
    // Closing from the page is the page's own business (it hides or quits).
  } else if (id == L"ui_quit") {
    PostQuitMessage(0);
  } else if (id == L"ui_maximize") {
    ShowWindow(hwnd_, SW_MAXIMIZE);
  } else if (id == L"ui_restore") {
    ShowWindow(hwnd_, SW_RESTORE);
  } else if (id == L"ui_minimize") {
    ShowWindow(hwnd_, SW_MINIMIZE);
  } else if (id == L"ui_menu") {
    ShowPopupMenu();
  } else {
    return true;
  }
  if (scriptCallback_ && !closing_.load()) {
    ScopedVariant name, a1, empty2, empty3, empty4;
    name.ptr()->vt = VT_BSTR;
    name.ptr()->bstrVal = SysAllocString(L"ui_notify");
    a1.ptr()->vt = VT_BSTR;
    a1.ptr()->bstrVal = SysAllocString(elementId);
    VARIANT ignored = scriptCallback_(this, &name.get(), &a1.get(), &empty2.get(), &empty3.get(),
                                      &empty4.get());
    VariantClear(&ignored);
  }
  return true;
}

void CBSDialog::ShowPopupMenu() {
  HMENU menu = menuProvider_ ? menuProvider_(this) : menu_;
  if (menu == nullptr) return;
  POINT cursor;
  GetCursorPos(&cursor);
  TrackPopupMenu(menu, 0, cursor.x, cursor.y, 0, hwnd_, nullptr);
}

// --- Factory ------------------------------------------------------------

IBSDialog* CreateBSDialog(const BSDialogParams* params) {
  if (params == nullptr || params->size != sizeof(BSDialogParams)) return nullptr;
  return CBSDialog::Create(*params);
}

void DestroyBSDialog(IBSDialog* dialog) {
  auto& created = CreatedDialogs();
  if (dialog == nullptr || std::find(created.begin(), created.end(), dialog) == created.end())
    return;
  static_cast<CBSDialog*>(dialog)->Destroy();
}

}  // namespace Zentrava::UI
