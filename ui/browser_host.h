// Hosts the WebBrowser control in a window through OLE in-place activation:
// the client site with its in-place site and frame, the document host UI
// handler and the browser's event sink, all in one site object.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <memory>
#include <string>

#include "support/scoped_handle.h"

namespace Zentrava::UI {

// What the host asks of the window that owns it; called on the window's thread.
class IBrowserHostClient {
 public:
  virtual ~IBrowserHostClient() = default;
  // DOCHOSTUIFLAG_* bits reported to the browser.
  virtual DWORD HostFlags() = 0;
  // The page's window.external, or null.
  virtual IDispatch* External() = 0;
  // Returns true to cancel a navigation to `url`.
  virtual bool OnBeforeNavigate(const std::wstring& url) = 0;
  // A page asked for a new window showing `url`; the host always cancels it.
  virtual void OnNewWindow(const std::wstring& url) = 0;
  // A document finished loading (`topLevel`: the browser's own, not a frame's).
  virtual void OnDocumentComplete(const std::wstring& url, bool topLevel) = 0;
};

class HostSite;

class BrowserHost {
 public:
  // Creates the browser control filling `window`'s client area; null when
  // the control cannot be created or activated.
  static std::unique_ptr<BrowserHost> Create(HWND window, IBrowserHostClient* client);
  ~BrowserHost();
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  IWebBrowser2* browser() const { return browser_.get(); }
  // Keeps the control filling the window's client area.
  void FitToClient();
  HRESULT Navigate(const std::wstring& url);

 private:
  BrowserHost() = default;
  HRESULT Activate(HWND window, IBrowserHostClient* client);

  HWND window_ = nullptr;
  ComPtr<HostSite> site_;
  ComPtr<IOleObject> object_;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<IConnectionPoint> events_;
  DWORD eventsCookie_ = 0;
};

}  // namespace Zentrava::UI
