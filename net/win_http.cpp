#include "net/win_http.h"

#include <windows.h>
#include <winhttp.h>

#include <utility>

namespace Zentrava {
namespace Network {

CWinHttp::~CWinHttp() { reset(); }

CWinHttp::CWinHttp(CWinHttp&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

CWinHttp& CWinHttp::operator=(CWinHttp&& other) noexcept {
  if (this != &other) reset(std::exchange(other.handle_, nullptr));
  return *this;
}

void CWinHttp::reset(HttpHandle handle) noexcept {
  if (handle_ && handle_ != handle) {
    DWORD saved = GetLastError();
    WinHttpCloseHandle(handle_);
    SetLastError(saved);
  }
  handle_ = handle;
}

}  // namespace Network
}  // namespace Zentrava
