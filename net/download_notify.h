// What a download tells its caller while it runs: the caller hands Download a
// DownloadNotify, and its callback receives one DownloadProgress per chunk
// received, and one at the end (completion, failure or HTTP error).
#pragma once

#include <cstdint>

namespace Zentrava {
namespace Network {

struct DownloadProgress {
  const wchar_t* url;       // from DownloadNotify
  const wchar_t* filePath;  // from DownloadNotify
  int32_t received;         // bytes so far; 0 in failure and HTTP-error reports
  int32_t total;            // Content-Length, 0 when the server sends none
  // received * 100 / total, at most 100. With no Content-Length the size is
  // unknown: 0 while bytes arrive, 100 at completion. Failure and HTTP-error
  // reports carry 0, which the progress callbacks always pass on, so the
  // page always learns of the failure (it goes by ok, not by the number).
  int32_t percent;
  bool ok;                  // false only in failure and HTTP-error reports
  uintptr_t para;           // from DownloadNotify
};

// Called on the downloading thread; the result is ignored (a download cannot
// be cancelled).
using DownloadCallback = bool (*)(const DownloadProgress* progress);

struct DownloadNotify {
  const wchar_t* url = nullptr;
  const wchar_t* filePath = nullptr;
  DownloadCallback callback = nullptr;  // may be null
  uintptr_t para = 0;
};

// Chosen by the agent, not carried in the record.
enum class DownloadNotifyKind { Failure = 0, HttpError = 1, Progress = 2, Completion = 3 };

// Builds the record for one notification; exposed so the arithmetic can be
// checked without a server.
DownloadProgress MakeDownloadProgress(const DownloadNotify& notify, DownloadNotifyKind kind,
                                      int32_t value, int32_t total);

}  // namespace Network
}  // namespace Zentrava
