#include "ui/thread_pool.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace Zentrava::Model {
namespace {

// What the jobs of one test did, in the order they did it.
struct Journal {
  std::mutex lock;
  std::vector<std::string> entries;
  void Add(const std::string& entry) {
    std::lock_guard<std::mutex> hold(lock);
    entries.push_back(entry);
  }
  std::vector<std::string> Get() {
    std::lock_guard<std::mutex> hold(lock);
    return entries;
  }
};

class RecordingJob : public IThreadParameter {
 public:
  RecordingJob(Journal* journal, std::string name, HANDLE gate = nullptr, bool ownThread = false)
      : journal_(journal), name_(std::move(name)), gate_(gate) {
    queued = !ownThread;
  }
  ~RecordingJob() override { journal_->Add("released " + name_); }
  void Run() override {
    if (gate_) WaitForSingleObject(gate_, 10000);
    // CoInitialize answers S_FALSE on a thread that already has COM.
    HRESULT com = CoInitialize(nullptr);
    if (SUCCEEDED(com)) CoUninitialize();
    journal_->Add("run " + name_ + (com == S_FALSE ? " com" : " nocom"));
  }

 private:
  Journal* journal_;
  std::string name_;
  HANDLE gate_;
};

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 5000) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(5);
  }
  return true;
}

TEST(ThreadPool, QueuedJobsRunInOrderOnOneWorkerWithCom) {
  Journal journal;
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Submit(new RecordingJob(&journal, "A", gate));
  Submit(new RecordingJob(&journal, "B"));
  Submit(new RecordingJob(&journal, "C"));
  EXPECT_TRUE(IsSharedWorkerRunning());
  SetEvent(gate);
  ASSERT_TRUE(WaitFor([&] { return journal.Get().size() == 6; }));
  std::vector<std::string> expected = {"run A com", "released A", "run B com",
                                       "released B", "run C com", "released C"};
  EXPECT_EQ(expected, journal.Get());
  // The worker exists only while its queue holds jobs.
  EXPECT_TRUE(WaitFor([] { return !IsSharedWorkerRunning(); }));
  CloseHandle(gate);
}

TEST(ThreadPool, OwnThreadJobsRunWithoutComAndAreNotHeldUpByTheQueue) {
  Journal journal;
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Submit(new RecordingJob(&journal, "blocked", gate));
  Submit(new RecordingJob(&journal, "own", nullptr, /*ownThread=*/true));
  ASSERT_TRUE(WaitFor([&] { return journal.Get().size() == 2; }));
  std::vector<std::string> expected = {"run own nocom", "released own"};
  EXPECT_EQ(expected, journal.Get());
  SetEvent(gate);
  ASSERT_TRUE(WaitFor([&] { return journal.Get().size() == 4; }));
  EXPECT_TRUE(WaitFor([] { return !IsSharedWorkerRunning(); }));
  CloseHandle(gate);
}

TEST(ThreadPool, DiscardDropsOnlyMatchingQueuedJobsUnrun) {
  Journal journal;
  HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  auto* running = new RecordingJob(&journal, "running", gate);
  Submit(running);
  // Let the worker take the first job before the others are queued.
  Sleep(100);
  auto* dropMe = new RecordingJob(&journal, "drop");
  Submit(dropMe);
  Submit(new RecordingJob(&journal, "keep"));
  int dropped = DiscardQueuedJobs(
      [](IThreadParameter* job, void* target) { return job == target; }, dropMe);
  EXPECT_EQ(1, dropped);
  // The job already taken cannot be dropped.
  EXPECT_EQ(0, DiscardQueuedJobs(
                   [](IThreadParameter* job, void* target) { return job == target; }, running));
  SetEvent(gate);
  ASSERT_TRUE(WaitFor([&] { return journal.Get().size() == 5; }));
  std::vector<std::string> expected = {"released drop", "run running com", "released running",
                                       "run keep com", "released keep"};
  EXPECT_EQ(expected, journal.Get());
  EXPECT_TRUE(WaitFor([] { return !IsSharedWorkerRunning(); }));
  CloseHandle(gate);
}

// Jobs appended while the worker is retiring must still run: many threads
// submit short jobs in bursts so that submissions meet an emptying queue.
class CountingJob : public IThreadParameter {
 public:
  explicit CountingJob(std::atomic<int>* count) : count_(count) {}
  void Run() override { count_->fetch_add(1); }

 private:
  std::atomic<int>* count_;
};

TEST(ThreadPool, NoQueuedJobIsLeftWithoutAWorker) {
  std::atomic<int> count{0};
  const int kThreads = 4, kBursts = 200;
  auto submitter = [](void* parameter) -> DWORD {
    auto* counter = static_cast<std::atomic<int>*>(parameter);
    for (int i = 0; i < kBursts; ++i) {
      Submit(new CountingJob(counter));
      if (i % 7 == 0) Sleep(1);
    }
    return 0;
  };
  HANDLE threads[kThreads];
  for (HANDLE& thread : threads) thread = CreateThread(nullptr, 0, submitter, &count, 0, nullptr);
  WaitForMultipleObjects(kThreads, threads, TRUE, 30000);
  for (HANDLE thread : threads) CloseHandle(thread);
  EXPECT_TRUE(WaitFor([&] { return count.load() == kThreads * kBursts; }, 20000)) << count.load();
  EXPECT_TRUE(WaitFor([] { return !IsSharedWorkerRunning(); }));
}

}  // namespace
}  // namespace Zentrava::Model
