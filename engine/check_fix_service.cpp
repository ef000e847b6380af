#include "engine/check_fix_service.h"

#include <algorithm>

namespace Zentrava {
namespace Assistant {

namespace {

class ScopedService {
 public:
  explicit ScopedService(SC_HANDLE handle = nullptr) : handle_(handle) {}
  ~ScopedService() {
    if (handle_) {
      DWORD saved = GetLastError();
      CloseServiceHandle(handle_);
      SetLastError(saved);
    }
  }
  ScopedService(const ScopedService&) = delete;
  ScopedService& operator=(const ScopedService&) = delete;
  SC_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  SC_HANDLE handle_;
};

HRESULT LastErrorResult() {
  DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

bool QueryProcessStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS* status) {
  DWORD needed = 0;
  return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(status),
                              sizeof(*status), &needed) != FALSE;
}

// A tenth of the wait hint, between one and ten seconds.
DWORD PollInterval(const SERVICE_STATUS_PROCESS& status) {
  return std::min<DWORD>(10000, std::max<DWORD>(1000, status.dwWaitHint / 10));
}

}  // namespace

HRESULT StartServiceAndWait(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status = {};
  if (!QueryProcessStatus(service, &status)) return LastErrorResult();
  if (status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING)
    return S_FALSE;

  DWORD timerStart = GetTickCount();
  DWORD checkPoint = status.dwCheckPoint;
  while (status.dwCurrentState == SERVICE_STOP_PENDING) {
    Sleep(PollInterval(status));
    if (!QueryProcessStatus(service, &status)) return LastErrorResult();
    if (status.dwCheckPoint > checkPoint) {
      timerStart = GetTickCount();
      checkPoint = status.dwCheckPoint;
    } else if (GetTickCount() - timerStart > status.dwWaitHint) {
      return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
  }

  if (!StartServiceW(service, 0, nullptr)) return LastErrorResult();
  if (!QueryProcessStatus(service, &status)) return LastErrorResult();
  timerStart = GetTickCount();
  checkPoint = status.dwCheckPoint;
  while (status.dwCurrentState == SERVICE_START_PENDING) {
    Sleep(PollInterval(status));
    if (!QueryProcessStatus(service, &status)) break;
    if (status.dwCheckPoint > checkPoint) {
      timerStart = GetTickCount();
      checkPoint = status.dwCheckPoint;
    } else if (GetTickCount() - timerStart > status.dwWaitHint) {
      break;
    }
  }
  return status.dwCurrentState == SERVICE_RUNNING ? S_OK : E_FAIL;
}

int32_t CheckFixService::Check(ConfigEntry& entry) {
  ScopedService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return ResultFail;
  std::wstring name = Utf8ToWide(entry.text);
  ScopedService service(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!service) return ResultFail;
  SERVICE_STATUS status = {};
  if (!QueryServiceStatus(service.get(), &status)) return ResultFail;
  return status.dwCurrentState == SERVICE_RUNNING ? ResultPass : ResultFail;
}

int32_t CheckFixService::Fix(ConfigEntry& entry) {
  ScopedService manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return ResultFail;
  std::wstring name = Utf8ToWide(entry.text);
  ScopedService service(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!service) return ResultFail;
  return SUCCEEDED(StartServiceAndWait(service.get())) ? ResultPass : ResultFail;
}

}  // namespace Assistant
}  // namespace Zentrava
