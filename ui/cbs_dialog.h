// CBSDialog: the borderless dialog that shows the embedded page in the
// browser control, implements IBSDialog for the rest of the program and
// carries the page's external object.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "support/scoped_handle.h"
#include "ui/bs_dialog.h"
#include "ui/browser_host.h"
#include "ui/page_document.h"

namespace Zentrava::UI {

class ExternalObject;

// Page calls sent from other threads to the dialog window.
constexpr UINT kPageCallMessage = WM_USER + 1;
enum PageCallOp : WPARAM {
  kCallFunction = 1,
  kCallCompletion = 2,
  kSetVariable = 3,
  kGetVariable = 4,
  kExecScript = 5,
  kCreateObject = 6,
};

// A page call packed for the dialog thread; lives on the sender's stack for
// the duration of the send.
struct PageCallRequest {
  LPCWSTR name = nullptr;
  VARIANT* args = nullptr;
  UINT count = 0;
  VARIANT* result = nullptr;
  const VARIANT* value = nullptr;
  IDispatch* function = nullptr;
  IDispatchEx** object = nullptr;
  const ObjectInitializer* initializer = nullptr;
};

// What a page call returns once the dialog is being destroyed.
constexpr HRESULT kDialogGone = HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE);

// How long destroying a dialog waits for its running asynchronous jobs.
constexpr DWORD kJobDrainTimeoutMs = 3000;

class CBSDialog final : public IBSDialog, private IBrowserHostClient, private IPageEventTarget {
 public:
  // Null when the window or its browser control cannot be created.
  static CBSDialog* Create(const BSDialogParams& params);
  // Tears the dialog down (DestroyBSDialog).
  void Destroy();

  // IBSDialog
  HWND GetHwnd() const override { return hwnd_; }
  HRESULT ResizeWindow(int width, int height) override;
  bool ExecuteCommand(const VARIANT* name, const VARIANT* a1, const VARIANT* a2, const VARIANT* a3,
                      const VARIANT* a4, VARIANT* result) override;
  HRESULT CallFunction(LPCWSTR name, VARIANT* args, UINT count, VARIANT* result) override;
  HRESULT SetVariable(LPCWSTR name, const VARIANT* value) override;
  HRESULT GetVariable(LPCWSTR name, VARIANT* result) override;
  HRESULT ExecScript(LPCWSTR script) override;
  HRESULT CreateObject(LPCWSTR constructorName, IDispatchEx** object,
                       const ObjectInitializer& initializer) override;

  // Calls `completion` (a page function object) as completion.call(args[1],
  // args[0]) on the dialog thread. Failures stay inside.
  HRESULT InvokeCompletion(IDispatch* completion, VARIANT* args);

  ScriptCallback scriptCallback() const { return scriptCallback_; }

  // An asynchronous job of this dialog holds the dialog from AcquireForJob
  // (false once the dialog is being destroyed: no job is then made) until
  // ReleaseFromJob. The last holder frees the dialog.
  bool AcquireForJob();
  void ReleaseFromJob();
  bool closing() const { return closing_.load(); }

  // Test seam: the page load and the element events that the browser would
  // deliver, with `document` standing in for the browser's document.
  void CompleteDocument(std::shared_ptr<IPageDocument> document, const std::wstring& url);
  bool FirePageEvent(PageEvent event, LPCWSTR elementId, LPCWSTR sourceId) {
    return OnPageEvent(event, elementId, sourceId);
  }
  IWebBrowser2* browser() const { return host_ ? host_->browser() : nullptr; }
  const std::wstring& currentUrl() const { return currentUrl_; }
  int cancelledNavigations() const { return cancelledNavigations_; }
  IDispatch* external() const;

 private:
  explicit CBSDialog(const BSDialogParams& params);
  ~CBSDialog() override;

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnInitDialog();
  void OnDestroyWindow();
  void Notify(UINT message, WPARAM first, LPARAM second);

  HRESULT PageCall(PageCallOp op, PageCallRequest* request);
  HRESULT RunPageCall(WPARAM op, PageCallRequest* request);
  HRESULT DoCallFunction(PageCallRequest* request);
  HRESULT DoCallCompletion(PageCallRequest* request);
  HRESULT DoSetVariable(PageCallRequest* request);
  HRESULT DoGetVariable(PageCallRequest* request);
  HRESULT DoCreateObject(PageCallRequest* request);

  void CenterOnce();
  void ShowPopupMenu();
  void AddRefSelf();
  void ReleaseSelf();
  void WaitForJobs(DWORD timeoutMs);

  // IBrowserHostClient
  DWORD HostFlags() override { return hostFlags_; }
  IDispatch* External() override;
  bool OnBeforeNavigate(const std::wstring& url) override;
  void OnNewWindow(const std::wstring& url) override;
  void OnDocumentComplete(const std::wstring& url, bool topLevel) override;
  // IPageEventTarget
  bool OnPageEvent(PageEvent event, LPCWSTR elementId, LPCWSTR sourceId) override;

  // Copied from the record.
  ScriptCallback scriptCallback_;
  MessageCallback messageCallback_;
  MenuProvider menuProvider_;
  HMENU menu_;
  HICON icon_;
  int maxWidth_;
  int maxHeight_;
  bool fitToPage_;
  HMODULE resourceModule_;
  unsigned htmlResourceId_;
  std::wstring htmlResourceName_;
  std::wstring startUrl_;

  HWND hwnd_ = nullptr;
  DWORD uiThreadId_ = 0;
  DWORD hostFlags_;
  std::wstring currentUrl_;
  // The first page's document serves every page call; the latest one is
  // measured when fitting the window.
  std::shared_ptr<IPageDocument> document_;
  std::shared_ptr<IPageDocument> latestDocument_;
  std::unique_ptr<BrowserHost> host_;
  ComPtr<ExternalObject> external_;
  std::atomic<bool> closing_{false};
  std::atomic<long> refs_{1};
  int cancelledNavigations_ = 0;
  bool windowDestroyed_ = false;
  IUnknown* documentIdentity_ = nullptr;  // identity of document_'s page, not owned
};

}  // namespace Zentrava::UI
