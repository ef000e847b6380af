// Service entries against a real service: this test program registers itself
// as a service (started with "--engine-test-service" it runs as one) and the
// fix starts it through the service control manager.
#include "engine/check_fix_service.h"

#include <gtest/gtest.h>

#include <string>

namespace za = Zentrava::Assistant;

namespace {

constexpr wchar_t kServiceName[] = L"ZentravaEngineTestService";
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_stopEvent = nullptr;

void Report(DWORD state, DWORD checkPoint = 0) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwCheckPoint = checkPoint;
  status.dwWaitHint = 3000;
  SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING, 1);
    SetEvent(g_stopEvent);
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  g_statusHandle = RegisterServiceCtrlHandlerExW(kServiceName, Control, nullptr);
  g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_START_PENDING, 1);
  Sleep(300);  // a start that takes a while, as real ones do
  Report(SERVICE_RUNNING);
  WaitForSingleObject(g_stopEvent, INFINITE);
  // A stop that takes a while too, with progress shown.
  Sleep(700);
  Report(SERVICE_STOP_PENDING, 2);
  Sleep(700);
  Report(SERVICE_STOPPED);
}

// Runs before GoogleTest's main when the control manager starts this program.
struct ServiceEntry {
  ServiceEntry() {
    if (!wcsstr(GetCommandLineW(), L"--engine-test-service")) return;
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kServiceName), ServiceMain}, {nullptr, nullptr}};
    StartServiceCtrlDispatcherW(table);
    ExitProcess(0);
  }
} g_serviceEntry;

class ServiceEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager_);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --engine-test-service";
    service_ = CreateServiceW(manager_, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                              command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service_) service_ = OpenServiceW(manager_, kServiceName, SERVICE_ALL_ACCESS);
    ASSERT_NE(nullptr, service_);
  }
  void TearDown() override {
    if (service_) {
      SERVICE_STATUS status;
      ControlService(service_, SERVICE_CONTROL_STOP, &status);
      for (int i = 0; i < 50 && QueryServiceStatus(service_, &status) &&
                      status.dwCurrentState != SERVICE_STOPPED;
           ++i)
        Sleep(100);
      DeleteService(service_);
      CloseServiceHandle(service_);
    }
    if (manager_) CloseServiceHandle(manager_);
  }
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

za::ConfigEntry Named(const wchar_t* name) {
  za::ConfigEntry entry;
  entry.text = za::WideToUtf8(name);
  return entry;
}

}  // namespace

TEST_F(ServiceEntryTest, FixStartsAStoppedServiceAndWaits) {
  za::CheckFixService check;
  za::ConfigEntry entry = Named(kServiceName);
  EXPECT_EQ(-2, check.Check(entry));
  EXPECT_EQ(2, check.Fix(entry));
  EXPECT_EQ(2, check.Check(entry));
  // Running already: nothing is started.
  EXPECT_EQ(S_FALSE, za::StartServiceAndWait(service_));
  EXPECT_EQ(2, check.Fix(entry));
}

TEST_F(ServiceEntryTest, FixWaitsForAStopToFinishThenStarts) {
  za::CheckFixService check;
  za::ConfigEntry entry = Named(kServiceName);
  ASSERT_EQ(2, check.Fix(entry));
  SERVICE_STATUS status = {};
  ASSERT_TRUE(ControlService(service_, SERVICE_CONTROL_STOP, &status));
  ASSERT_TRUE(QueryServiceStatus(service_, &status));
  ASSERT_EQ(static_cast<DWORD>(SERVICE_STOP_PENDING), status.dwCurrentState);
  EXPECT_EQ(-2, check.Check(entry));
  EXPECT_EQ(2, check.Fix(entry));
  EXPECT_EQ(2, check.Check(entry));
}

TEST_F(ServiceEntryTest, MissingService) {
  za::CheckFixService check;
  za::ConfigEntry entry = Named(L"NoSuchZentravaService");
  EXPECT_EQ(-2, check.Check(entry));
  EXPECT_EQ(-2, check.Fix(entry));
}
