// Thin move-only owners for Win32 handles and COM references. One template,
// many aliases: every handle the program opens is held by one of these, so it
// is released exactly once on every path.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace Zentrava {

// Owner of a value of type T that is released by Traits::Close and is empty
// when equal to Traits::Invalid(). Closing keeps the caller's last error, so
// an owner going out of scope never hides the error of the call before it.
template <typename T, typename Traits>
class ScopedResource {
 public:
  ScopedResource() noexcept : value_(Traits::Invalid()) {}
  explicit ScopedResource(T value) noexcept : value_(value) {}
  ~ScopedResource() { reset(); }

  ScopedResource(ScopedResource&& other) noexcept : value_(other.release()) {}
  ScopedResource& operator=(ScopedResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ScopedResource(const ScopedResource&) = delete;
  ScopedResource& operator=(const ScopedResource&) = delete;

  T get() const noexcept { return value_; }
  bool valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Releases the held value (if any) and takes `value`.
  void reset(T value = Traits::Invalid()) noexcept {
    if (valid()) {
      DWORD saved = GetLastError();
      Traits::Close(value_);
      SetLastError(saved);
    }
    value_ = value;
  }
  // Gives up ownership without closing.
  T release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  // Releases the held value, then hands out its address for an out-parameter.
  T* put() noexcept {
    reset();
    return &value_;
  }

 private:
  T value_;
};

namespace handle_traits {
struct Kernel {  // CreateMutex, CreateEvent, CreateThread, OpenProcess...: null is empty
  static HANDLE Invalid() { return nullptr; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct File {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct RegKey {
  static HKEY Invalid() { return nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};
struct Module {
  static HMODULE Invalid() { return nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};
struct Bstr {
  static BSTR Invalid() { return nullptr; }
  static void Close(BSTR b) { SysFreeString(b); }
};
}  // namespace handle_traits

// Events, mutexes, threads, processes: null means none.
using ScopedHandle = ScopedResource<HANDLE, handle_traits::Kernel>;
// Files from CreateFileW: INVALID_HANDLE_VALUE means none.
using ScopedFile = ScopedResource<HANDLE, handle_traits::File>;
using ScopedHKey = ScopedResource<HKEY, handle_traits::RegKey>;
using ScopedLibrary = ScopedResource<HMODULE, handle_traits::Module>;
using ScopedBstr = ScopedResource<BSTR, handle_traits::Bstr>;

// A COM reference: AddRef on copy is deliberately absent; ownership moves.
template <typename I>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over one reference already held by the caller.
  explicit ComPtr(I* p) noexcept : p_(p) {}
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) reset(std::exchange(o.p_, nullptr));
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  // Adds a reference to `p` and holds it.
  static ComPtr Retain(I* p) noexcept {
    if (p) p->AddRef();
    return ComPtr(p);
  }
  I* get() const noexcept { return p_; }
  I* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  void reset(I* p = nullptr) noexcept {
    if (p_) p_->Release();
    p_ = p;
  }
  I* release() noexcept { return std::exchange(p_, nullptr); }
  I** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }
  template <typename J>
  HRESULT As(ComPtr<J>* out) const noexcept {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(__uuidof(J), out->put_void());
  }

 private:
  I* p_ = nullptr;
};

// An owned VARIANT, cleared on destruction.
class ScopedVariant {
 public:
  ScopedVariant() noexcept { VariantInit(&v_); }
  ~ScopedVariant() { VariantClear(&v_); }
  ScopedVariant(ScopedVariant&& o) noexcept {
    v_ = o.v_;
    VariantInit(&o.v_);
  }
  ScopedVariant& operator=(ScopedVariant&& o) noexcept {
    if (this != &o) {
      VariantClear(&v_);
      v_ = o.v_;
      VariantInit(&o.v_);
    }
    return *this;
  }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  const VARIANT& get() const noexcept { return v_; }
  VARIANT* ptr() noexcept { return &v_; }
  // Clears the held value, then hands out the variant for an out-parameter.
  VARIANT* Receive() noexcept {
    VariantClear(&v_);
    return &v_;
  }
  // Gives the value to the caller, leaving this empty.
  VARIANT Release() noexcept {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }

 private:
  VARIANT v_;
};

}  // namespace Zentrava
