// The small thread pool behind the page's asynchronous calls: one shared
// worker that runs queued jobs one at a time in submission order, and a
// thread of its own for every job that must not wait in that queue.
#pragma once

#include <windows.h>

namespace Zentrava::Model {

// A job run by the pool. The pool calls Run once on a pool thread and then
// Release, which deletes the job.
class IThreadParameter {
 public:
  virtual ~IThreadParameter() = default;
  // The job's work.
  virtual void Run() = 0;
  // Deletes the job; called by the pool after Run (or instead of it when a
  // queued job is dropped).
  virtual void Release() { delete this; }

  // true: the job runs on the shared worker (which has COM initialised);
  // false: on a thread of its own without COM.
  bool queued = true;
};

// Hands `job` to the pool, which owns it from now on. Queued jobs run in
// submission order on the one shared worker, which exists only while its
// queue is not empty. A job that cannot get a thread is released unrun.
void Submit(IThreadParameter* job);

// Releases, unrun, every queued job for which `match` returns true, and
// returns how many were dropped. A job already taken by the worker is not
// affected. `match` runs under the pool's lock and must not call the pool.
typedef bool (*JobMatch)(IThreadParameter* job, void* context);
int DiscardQueuedJobs(JobMatch match, void* context);

// Whether the shared worker currently exists (for diagnostics and tests).
bool IsSharedWorkerRunning();

}  // namespace Zentrava::Model
