#include "net/http_post_command.h"

#include <string>

#include "net/web_request.h"

namespace Zentrava {
namespace Network {

void HttpPostCommand(const VARIANT& a1, VARIANT* result) {
  std::wstring text;
  if (a1.vt == VT_BSTR) {
    WebRequest request;
    std::wstring url = a1.bstrVal ? std::wstring(a1.bstrVal, SysStringLen(a1.bstrVal)) : L"";
    // A rejected URL leaves the server empty; the connect then fails.
    SetRequestTarget(&request, url);
    request.method = L"POST";
    WebResponse response;
    if (SendWebRequest(request, &response)) text = BodyAsText(response);
  }
  VariantClear(result);
  result->vt = VT_BSTR;
  result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

}  // namespace Network
}  // namespace Zentrava
