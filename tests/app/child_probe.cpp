// Stands in for programs the assistant starts. Arguments:
//   --exit N     end with exit code N at once
//   --sleep MS   wait MS milliseconds, then end with 0
//   anything else: write the command line and the inherited "AppPath" into
//   <own folder>\<own name>.txt (UTF-16), then end with 0.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wcscmp(argv[1], L"--exit") == 0) return _wtoi(argv[2]);
  if (argc >= 3 && std::wcscmp(argv[1], L"--sleep") == 0) {
    Sleep(static_cast<DWORD>(_wtoi(argv[2])));
    return 0;
  }
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring record = self;
  record = record.substr(0, record.rfind(L'.')) + L".txt";
  wchar_t appPath[MAX_PATH] = {};
  GetEnvironmentVariableW(L"AppPath", appPath, MAX_PATH);
  std::wstring text = std::wstring(GetCommandLineW()) + L"\n" + appPath;
  HANDLE file = CreateFileW(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
  return 0;
}
