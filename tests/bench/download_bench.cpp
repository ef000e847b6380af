// Download throughput of the HTTP agent with progress notifications on:
//   bench_download URL FILE
// downloads URL to FILE through the install progress callback (whose page
// calls a recorder stands in for) and prints the bytes per second, alone on
// the last line.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "net/assistant_http.h"
#include "net/download_placement.h"
#include "testkit/net_page_recorder.h"

namespace {
unsigned long long g_notifications = 0;

bool CountingInstallProgress(const Zentrava::Network::DownloadProgress* progress) {
  ++g_notifications;
  return Zentrava::Network::InstallProgress(progress);
}
}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 3) {
    std::fprintf(stderr, "usage: bench_download URL FILE\n");
    return 2;
  }
  std::wstring url = argv[1], file = argv[2];
  LocalFree(argv);
  testkit::NetPageRecorder page;
  Zentrava::Network::AssistantHttp agent;
  Zentrava::Network::DownloadNotify notify;
  notify.url = url.c_str();
  notify.filePath = file.c_str();
  notify.callback = &CountingInstallProgress;

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  HRESULT hr = agent.Download(url, file, &notify);
  QueryPerformanceCounter(&end);

  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data);
  double bytes = static_cast<double>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  std::printf("result 0x%08lx, %.0f bytes in %.3f s, %llu notifications, %zu page reports\n",
              static_cast<unsigned long>(hr), bytes, seconds, g_notifications, page.count());
  if (FAILED(hr) || seconds <= 0) return 1;
  std::printf("%.0f\n", bytes / seconds);
  return 0;
}
