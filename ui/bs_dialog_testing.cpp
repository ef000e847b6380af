#include "ui/bs_dialog_testing.h"

#include "ui/cbs_dialog.h"

namespace Zentrava::UI {

void CompleteDocumentForTesting(IBSDialog* dialog, std::shared_ptr<IPageDocument> document,
                                const std::wstring& url) {
  static_cast<CBSDialog*>(dialog)->CompleteDocument(std::move(document), url);
}

bool FirePageEventForTesting(IBSDialog* dialog, PageEvent event, LPCWSTR elementId,
                             LPCWSTR sourceId) {
  return static_cast<CBSDialog*>(dialog)->FirePageEvent(event, elementId, sourceId);
}

IWebBrowser2* BrowserForTesting(IBSDialog* dialog) {
  return static_cast<CBSDialog*>(dialog)->browser();
}

std::wstring CurrentUrlForTesting(IBSDialog* dialog) {
  return static_cast<CBSDialog*>(dialog)->currentUrl();
}

int CancelledNavigationsForTesting(IBSDialog* dialog) {
  return static_cast<CBSDialog*>(dialog)->cancelledNavigations();
}

IDispatch* ExternalForTesting(IBSDialog* dialog) {
  return static_cast<CBSDialog*>(dialog)->external();
}

}  // namespace Zentrava::UI
