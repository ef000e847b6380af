// The HRESULT of the calling thread's last Win32 error, for the network
// code's platform calls. A call that fails without setting an error still
// yields a failure, never S_OK.
#pragma once

#include <windows.h>

namespace Zentrava {
namespace Network {

inline HRESULT ResultFromError(DWORD error) {
  return error == 0 ? E_FAIL : HRESULT_FROM_WIN32(error);
}

inline HRESULT LastErrorResult() { return ResultFromError(GetLastError()); }

}  // namespace Network
}  // namespace Zentrava
