// Body of the script command "http_post": posts an empty body to the URL in
// a1 through the HTTP utility and answers with the response body as text.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace Zentrava {
namespace Network {

// *result becomes a VT_BSTR: the response body decoded from UTF-8, or the
// empty string when a1 is not a string or the request fails. Whatever
// *result held is cleared first.
void HttpPostCommand(const VARIANT& a1, VARIANT* result);

}  // namespace Network
}  // namespace Zentrava
