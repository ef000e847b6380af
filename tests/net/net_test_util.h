// Shared pieces of the network suites: a recorder for download
// notifications (handed to the agent through DownloadNotify::para).
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "net/download_notify.h"

namespace nettest {

struct RecordedProgress {
  std::wstring url;
  std::wstring filePath;
  int received;
  int total;
  int percent;
  bool ok;
  uintptr_t para;
};

class ProgressLog {
 public:
  // A notify context whose callback appends to this log.
  Zentrava::Network::DownloadNotify Notify(const wchar_t* url, const wchar_t* filePath) {
    Zentrava::Network::DownloadNotify notify;
    notify.url = url;
    notify.filePath = filePath;
    notify.callback = &ProgressLog::Callback;
    notify.para = reinterpret_cast<uintptr_t>(this);
    return notify;
  }
  std::vector<RecordedProgress> entries() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_;
  }
  int failures() const {
    int n = 0;
    for (const RecordedProgress& e : entries())
      if (!e.ok) ++n;
    return n;
  }

 private:
  static bool Callback(const Zentrava::Network::DownloadProgress* p) {
    ProgressLog* log = reinterpret_cast<ProgressLog*>(p->para);
    std::lock_guard<std::mutex> lock(log->mutex_);
    log->entries_.push_back({p->url ? p->url : L"", p->filePath ? p->filePath : L"", p->received,
                             p->total, p->percent, p->ok, p->para});
    return false;  // ignored by the agent
  }
  mutable std::mutex mutex_;
  std::vector<RecordedProgress> entries_;
};

}  // namespace nettest
