// Owners of WinHTTP handles: a session, a connection or a request is held by
// exactly one of these and closed when its owner goes away.
//
// The handle type is kept opaque (HINTERNET is a void* in <winhttp.h>) so that
// this header can be included next to <wininet.h>, which cannot share a
// translation unit with <winhttp.h>.
#pragma once

namespace Zentrava {
namespace Network {

using HttpHandle = void*;

// Owns one WinHTTP handle; null when closed.
class CWinHttp {
 public:
  CWinHttp() noexcept = default;
  explicit CWinHttp(HttpHandle handle) noexcept : handle_(handle) {}
  // Closes the handle with WinHttpCloseHandle.
  virtual ~CWinHttp();

  CWinHttp(CWinHttp&& other) noexcept;
  CWinHttp& operator=(CWinHttp&& other) noexcept;
  CWinHttp(const CWinHttp&) = delete;
  CWinHttp& operator=(const CWinHttp&) = delete;

  HttpHandle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != nullptr; }
  explicit operator bool() const noexcept { return valid(); }

  // Closes the held handle (if any) and takes `handle`. The caller's last
  // error survives the close.
  void reset(HttpHandle handle = nullptr) noexcept;

 private:
  HttpHandle handle_ = nullptr;
};

// The three kinds differ only in what they hold; the names say which.
class CWinHttpSession : public CWinHttp {
 public:
  using CWinHttp::CWinHttp;
};
class CWinHttpConnect : public CWinHttp {
 public:
  using CWinHttp::CWinHttp;
};
class CWinHttpRequest : public CWinHttp {
 public:
  using CWinHttp::CWinHttp;
};

}  // namespace Network
}  // namespace Zentrava
