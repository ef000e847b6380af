// One critical section guards the queue and the worker handle; nothing else
// here is locked. The worker forgets its handle under the same lock in which
// it finds the queue empty, so a job appended at that moment finds either a
// running worker that will still take it or none, and then starts one.
#include "ui/thread_pool.h"

#include <objbase.h>
#include <process.h>

#include <deque>
#include <vector>

namespace Zentrava::Model {
namespace {

class ThreadPool {
 public:
  ThreadPool() { InitializeCriticalSectionAndSpinCount(&lock_, 0); }
  ~ThreadPool() { DeleteCriticalSection(&lock_); }
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  void Enqueue(IThreadParameter* job) {
    Lock();
    queue_.push_back(job);
    Unlock();
    StartWorkerIfNone();
  }

  int Discard(JobMatch match, void* context) {
    std::vector<IThreadParameter*> dropped;
    Lock();
    for (auto it = queue_.begin(); it != queue_.end();) {
      if (match(*it, context)) {
        dropped.push_back(*it);
        it = queue_.erase(it);
      } else {
        ++it;
      }
    }
    Unlock();
    // Outside the lock: a job's destructor may take its time.
    for (IThreadParameter* job : dropped) job->Release();
    return static_cast<int>(dropped.size());
  }

  bool WorkerRunning() {
    Lock();
    bool running = worker_ != nullptr;
    Unlock();
    return running;
  }

 private:
  void Lock() { EnterCriticalSection(&lock_); }
  void Unlock() { LeaveCriticalSection(&lock_); }

  void StartWorkerIfNone() {
    std::vector<IThreadParameter*> lost;
    Lock();
    if (worker_ == nullptr) {
      uintptr_t thread = _beginthreadex(nullptr, 0, &ThreadPool::WorkerMain, this, 0, nullptr);
      if (thread != 0) {
        worker_ = reinterpret_cast<HANDLE>(thread);
      } else {
        // No worker can run them: release what is waiting rather than leave
        // it queued without a worker.
        lost.assign(queue_.begin(), queue_.end());
        queue_.clear();
      }
    }
    Unlock();
    for (IThreadParameter* job : lost) job->Release();
  }

  // Takes the next job, or, finding none, forgets (and closes) the worker's
  // handle in the same locked step.
  IThreadParameter* NextJobOrRetire() {
    IThreadParameter* job = nullptr;
    Lock();
    if (!queue_.empty()) {
      job = queue_.front();
      queue_.pop_front();
    } else {
      CloseHandle(worker_);
      worker_ = nullptr;
    }
    Unlock();
    return job;
  }

  static unsigned __stdcall WorkerMain(void* parameter) {
    auto* pool = static_cast<ThreadPool*>(parameter);
    HRESULT com = CoInitialize(nullptr);
    while (IThreadParameter* job = pool->NextJobOrRetire()) {
      job->Run();
      job->Release();
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
  }

  CRITICAL_SECTION lock_;
  std::deque<IThreadParameter*> queue_;
  HANDLE worker_ = nullptr;
};

// Created during static initialisation, before any job can be submitted.
ThreadPool g_pool;

unsigned __stdcall OwnThreadMain(void* parameter) {
  auto* job = static_cast<IThreadParameter*>(parameter);
  job->Run();
  job->Release();
  return 0;
}

}  // namespace

void Submit(IThreadParameter* job) {
  if (job == nullptr) return;
  if (job->queued) {
    g_pool.Enqueue(job);
    return;
  }
  uintptr_t thread = _beginthreadex(nullptr, 0, &OwnThreadMain, job, 0, nullptr);
  if (thread == 0) {
    job->Release();
    return;
  }
  // The thread is never waited for; its handle is not kept.
  CloseHandle(reinterpret_cast<HANDLE>(thread));
}

int DiscardQueuedJobs(JobMatch match, void* context) {
  if (match == nullptr) return 0;
  return g_pool.Discard(match, context);
}

bool IsSharedWorkerRunning() { return g_pool.WorkerRunning(); }

}  // namespace Zentrava::Model
