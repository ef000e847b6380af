// The one seam of the dialog: tests stand in for the page the browser would
// have loaded (its document with a script object of their own) and deliver
// the element events the page would fire. Everything else is the real
// dialog. Call on the dialog thread.
#pragma once

#include <exdisp.h>

#include <memory>
#include <string>

#include "ui/bs_dialog.h"
#include "ui/page_document.h"

namespace Zentrava::UI {

// Completes a page load of `url` with `document` as the page.
void CompleteDocumentForTesting(IBSDialog* dialog, std::shared_ptr<IPageDocument> document,
                                const std::wstring& url);

// Delivers an element event; returns the event's answer.
bool FirePageEventForTesting(IBSDialog* dialog, PageEvent event, LPCWSTR elementId,
                             LPCWSTR sourceId);

// The dialog's browser control (not AddRef'd) and what it made of navigations.
IWebBrowser2* BrowserForTesting(IBSDialog* dialog);
std::wstring CurrentUrlForTesting(IBSDialog* dialog);
int CancelledNavigationsForTesting(IBSDialog* dialog);

// The page's window.external of the dialog (not AddRef'd).
IDispatch* ExternalForTesting(IBSDialog* dialog);

}  // namespace Zentrava::UI
