// What the dialog needs from the page's HTML document: its script object,
// the body's size and a way to run script text, plus the element events the
// dialog gives a native meaning. The browser's document is wrapped by
// CreateHtmlPageDocument; tests supply their own document instead.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

struct IHTMLDocument2;

namespace Zentrava::UI {

// Element events with a native meaning.
enum class PageEvent {
  BodyResize,       // "resize" of the body
  AnchorDragStart,  // "dragstart" on a link
  MouseDown,        // "mousedown" on a reserved element ("ui_title")
  Click,            // "click" on a reserved element ("ui_close", "ui_quit", ...)
};

// Receives the element events of a document, on the dialog thread.
class IPageEventTarget {
 public:
  virtual ~IPageEventTarget() = default;
  // `elementId` names the reserved element whose handler runs (null for the
  // body and link events); `sourceId` is the id of the element the event
  // was received on (null or empty when it has none). Returns the event's
  // answer: false cancels the default action.
  virtual bool OnPageEvent(PageEvent event, LPCWSTR elementId, LPCWSTR sourceId) = 0;
};

class IPageDocument {
 public:
  virtual ~IPageDocument() = default;
  // The page's global script object (functions and variables by name).
  virtual HRESULT GetScript(IDispatch** script) = 0;
  // Scroll width and height of the page's body.
  virtual HRESULT GetBodyScrollSize(long* width, long* height) = 0;
  // Runs `code` in the page's window with the script language `language`.
  virtual HRESULT ExecScript(LPCWSTR code, LPCWSTR language) = 0;
};

// Wraps the browser's document and forwards its element events to `target`
// until the wrapper is destroyed. Null when `document` is null.
std::unique_ptr<IPageDocument> CreateHtmlPageDocument(IHTMLDocument2* document,
                                                      IPageEventTarget* target);

}  // namespace Zentrava::UI
