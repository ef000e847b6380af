#include "ui/external_object.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fake_page.h"
#include "ui/bs_dialog.h"
#include "ui/bs_dialog_testing.h"
#include "ui/cbs_dialog.h"
#include "ui/message_box_backend.h"

namespace Zentrava::UI {
namespace {

using uitest::FakeDispatch;
using uitest::FakePage;
using uitest::PumpUntil;
using uitest::Render;

// The script commands of these tests, by name.
struct Commands {
  std::mutex lock;
  std::vector<std::wstring> log;  // "name@main" or "name@worker"
  HANDLE gate = nullptr;          // "blocked" waits for it
  DWORD mainThread = 0;
  HRESULT lateCall = S_OK;        // what "late" got from the page
  void Add(const std::wstring& entry) {
    std::lock_guard<std::mutex> hold(lock);
    log.push_back(entry);
  }
  std::vector<std::wstring> Log() {
    std::lock_guard<std::mutex> hold(lock);
    return log;
  }
} g_commands;

VARIANT RunCommand(IBSDialog* dialog, const VARIANT* name, const VARIANT* a1, const VARIANT*,
                   const VARIANT*, const VARIANT*) {
  std::wstring command = Render(*name);
  g_commands.Add(command + (GetCurrentThreadId() == g_commands.mainThread ? L"@main" : L"@worker"));
  if (command == L"blocked") WaitForSingleObject(g_commands.gate, 20000);
  if (command == L"late") {
    WaitForSingleObject(g_commands.gate, 20000);
    g_commands.lateCall = dialog->CallFunction(L"probe", nullptr, 0, nullptr);
  }
  if (command == L"callpage") dialog->CallFunction(L"probe", nullptr, 0, nullptr);
  if (command == L"box")
    ShowMessage(L"The worker calls the page meanwhile.", nullptr, L"ui external box test",
                MessageKind::None, dialog->GetHwnd());
  return uitest::StringVariant((L"result of " + command + L" " + Render(*a1)).c_str());
}

class ExternalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    g_commands.log.clear();
    g_commands.mainThread = GetCurrentThreadId();
    g_commands.gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BSDialogParams params;
    params.caption = false;
    params.scriptCallback = &RunCommand;
    dialog_ = CreateBSDialog(&params);
    ASSERT_NE(nullptr, dialog_);
    page_ = std::make_shared<FakePage>();
    page_->script()->SetFunction(L"probe");
    CompleteDocumentForTesting(dialog_, page_, L"http://127.0.0.1:9/page.htm");
    external_ = ExternalForTesting(dialog_);
  }
  void TearDown() override {
    SetEvent(g_commands.gate);
    if (dialog_) DestroyBSDialog(dialog_);
    // Let jobs that outlived a dialog finish before the next test.
    uitest::PumpUntil([] { return !Model::IsSharedWorkerRunning(); }, 10000);
    CloseHandle(g_commands.gate);
    MSG message;
    PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    CoUninitialize();
  }

  // external.method(args...) as the page's script would call it.
  HRESULT Call(const wchar_t* method, std::vector<VARIANT> args, VARIANT* result = nullptr) {
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(method)};
    HRESULT hr = external_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    hr = external_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                           nullptr, nullptr);
    for (VARIANT& arg : args) VariantClear(&arg);
    return hr;
  }
  static VARIANT Str(const wchar_t* text) { return uitest::StringVariant(text); }
  static VARIANT Empty() {
    VARIANT v;
    VariantInit(&v);
    return v;
  }
  static VARIANT Object(IDispatch* object) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    object->AddRef();
    return v;
  }
  // A completion function that records how it was called.
  static FakeDispatch* Completion() {
    FakeDispatch* completion = FakeDispatch::New();
    completion->SetFunction(L"call");
    return completion;
  }
  HRESULT Async(const wchar_t* method, FakeDispatch* completion, const wchar_t* command) {
    return Call(method, {completion ? Object(completion) : Str(L"not a function"), Str(command),
                         Str(L"x"), Empty(), Empty(), Empty()});
  }

  IBSDialog* dialog_ = nullptr;
  std::shared_ptr<FakePage> page_;
  IDispatch* external_ = nullptr;
};

TEST_F(ExternalTest, MethodsAreFoundByNameOnly) {
  const wchar_t* known[] = {L"callc", L"asyncallc", L"asyncalld", L"getCom"};
  for (const wchar_t* name : known) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(S_OK, external_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
    EXPECT_NE(DISPID_UNKNOWN, id);
  }
  DISPID id;
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"callcc")};
  EXPECT_EQ(DISP_E_UNKNOWNNAME, external_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
}

TEST_F(ExternalTest, CallcRunsTheCommandAtOnceOnThePageThread) {
  VARIANT result;
  VariantInit(&result);
  // The page left out the last arguments: they arrive as undefined.
  ASSERT_EQ(S_OK, Call(L"callc", {Str(L"sync"), Str(L"arg")}, &result));
  EXPECT_EQ(L"result of sync arg", Render(result));
  VariantClear(&result);
  EXPECT_EQ((std::vector<std::wstring>{L"sync@main"}), g_commands.Log());
}

TEST_F(ExternalTest, AsyncallcJobsRunInOrderAndCompleteInOrderWithThisBeingTheCompletion) {
  FakeDispatch* completions[3] = {Completion(), Completion(), Completion()};
  const wchar_t* names[3] = {L"A", L"B", L"C"};
  for (int i = 0; i < 3; ++i) ASSERT_EQ(S_OK, Async(L"asyncallc", completions[i], names[i]));
  // Nothing runs on the page's thread while it submits.
  EXPECT_TRUE(g_commands.Log().empty() || g_commands.Log()[0] == L"A@worker");
  ASSERT_TRUE(PumpUntil([&] { return completions[2]->Calls().size() == 1; }));
  EXPECT_EQ((std::vector<std::wstring>{L"A@worker", L"B@worker", L"C@worker"}), g_commands.Log());
  for (int i = 0; i < 3; ++i) {
    auto calls = completions[i]->Calls();
    ASSERT_EQ(1u, calls.size()) << i;
    EXPECT_EQ(GetCurrentThreadId(), calls[0].threadId);
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_DISPATCH;
    self.pdispVal = completions[i];
    ASSERT_EQ(2u, calls[0].args.size());
    EXPECT_EQ(Render(self), calls[0].args[0]) << "this is the completion itself";
    EXPECT_EQ(std::wstring(L"result of ") + names[i] + L" x", calls[0].args[1]);
  }
  for (FakeDispatch* completion : completions) completion->Release();
}

TEST_F(ExternalTest, AStringInsteadOfAFunctionRunsTheCommandAndCallsNothing) {
  ASSERT_EQ(S_OK, Async(L"asyncallc", nullptr, L"fire"));
  ASSERT_TRUE(PumpUntil([] { return g_commands.Log().size() == 1; }));
  EXPECT_EQ(L"fire@worker", g_commands.Log()[0]);
  ASSERT_TRUE(PumpUntil([] { return !Model::IsSharedWorkerRunning(); }));
  EXPECT_TRUE(page_->script()->Calls().empty());
}

TEST_F(ExternalTest, AsyncalldIsNotHeldUpByABlockedAsyncallc) {
  FakeDispatch* queued = Completion();
  FakeDispatch* own = Completion();
  ASSERT_EQ(S_OK, Async(L"asyncallc", queued, L"blocked"));
  ASSERT_EQ(S_OK, Async(L"asyncalld", own, L"free"));
  ASSERT_TRUE(PumpUntil([&] { return own->Calls().size() == 1; }));
  EXPECT_TRUE(queued->Calls().empty());
  SetEvent(g_commands.gate);
  ASSERT_TRUE(PumpUntil([&] { return queued->Calls().size() == 1; }));
  queued->Release();
  own->Release();
}

TEST_F(ExternalTest, AWorkersPageCallRunsInsideACallcThatShowsAMessageBox) {
  MessageBoxBackend backend = SystemMessageBoxBackend();
  backend.taskDialogIndirect = nullptr;
  SetMessageBoxBackendForTesting(&backend);
  // Closes the box once the worker's page call has been answered.
  HANDLE closer = CreateThread(
      nullptr, 0,
      [](void* page) -> DWORD {
        auto* script = static_cast<FakeDispatch*>(page);
        for (int i = 0; i < 1000; ++i) {
          HWND box = FindWindowW(nullptr, L"ui external box test");
          if (box && !script->Calls().empty()) {
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
          }
          Sleep(20);
        }
        return 1;
      },
      page_->script(), 0, nullptr);
  ASSERT_EQ(S_OK, Async(L"asyncallc", nullptr, L"callpage"));
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(S_OK, Call(L"callc", {Str(L"box"), Empty(), Empty(), Empty(), Empty()}, &result));
  VariantClear(&result);
  DWORD closed = WaitForSingleObject(closer, 20000);
  CloseHandle(closer);
  SetMessageBoxBackendForTesting(nullptr);
  EXPECT_EQ(WAIT_OBJECT_0, closed);
  auto calls = page_->script()->Calls();
  ASSERT_EQ(1u, calls.size()) << "the page call ran while callc waited in its box";
  EXPECT_EQ(GetCurrentThreadId(), calls[0].threadId);
}

TEST_F(ExternalTest, GetComTakesBracesFirstAsAClassIdElseAProgramId) {
  struct Case {
    const wchar_t* id;
    bool object;
  } cases[] = {
      {L"{EE09B103-97E0-11CF-978F-00A02463E06F}", true},  // Scripting.Dictionary
      {L"Scripting.Dictionary", true},
      {L"Scripting.Dictionary{EE09B103-97E0-11CF-978F-00A02463E06F}", false},
      {L"{not a class id}", false},
      {L"No.Such.Program", false},
  };
  for (const Case& c : cases) {
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, Call(L"getCom", {Str(c.id)}, &result));
    EXPECT_EQ(VT_DISPATCH, result.vt) << c.id;
    EXPECT_EQ(c.object, result.pdispVal != nullptr) << c.id;
    VariantClear(&result);
  }
}

TEST_F(ExternalTest, DestroyDropsQueuedJobsAndDoesNotWaitForeverForARunningOne) {
  FakeDispatch* running = Completion();
  FakeDispatch* queued = Completion();
  ASSERT_EQ(S_OK, Async(L"asyncallc", running, L"late"));
  ASSERT_EQ(S_OK, Async(L"asyncallc", queued, L"never"));
  ASSERT_TRUE(PumpUntil([] { return g_commands.Log().size() == 1; }));

  DWORD start = GetTickCount();
  DestroyBSDialog(dialog_);
  dialog_ = nullptr;
  DWORD took = GetTickCount() - start;
  // The bounded wait plus the browser control's own tear-down (slow here).
  EXPECT_LT(took, kJobDrainTimeoutMs + 5000) << "exit must not hang on a running job";
  EXPECT_GE(took, kJobDrainTimeoutMs - 100) << "the running job was given its time";

  // The running job goes on, but the page is gone for it.
  SetEvent(g_commands.gate);
  ASSERT_TRUE(PumpUntil([] { return !Model::IsSharedWorkerRunning(); }, 10000));
  EXPECT_EQ(kDialogGone, g_commands.lateCall);
  EXPECT_EQ((std::vector<std::wstring>{L"late@worker"}), g_commands.Log());
  EXPECT_TRUE(running->Calls().empty());
  EXPECT_TRUE(queued->Calls().empty());
  EXPECT_TRUE(page_->script()->Calls().empty());
  running->Release();
  queued->Release();
}

TEST_F(ExternalTest, DestroyServesARunningJobsPageCallAndWaitsForItsEnd) {
  FakeDispatch* completion = Completion();
  ASSERT_EQ(S_OK, Async(L"asyncallc", completion, L"late"));
  ASSERT_TRUE(PumpUntil([] { return g_commands.Log().size() == 1; }));
  // Opens the gate shortly after destruction began: the job's page call
  // then meets a dialog that is waiting for it.
  HANDLE opener = CreateThread(
      nullptr, 0,
      [](void*) -> DWORD {
        Sleep(300);
        SetEvent(g_commands.gate);
        return 0;
      },
      nullptr, 0, nullptr);
  DestroyBSDialog(dialog_);
  dialog_ = nullptr;
  WaitForSingleObject(opener, 5000);
  CloseHandle(opener);
  EXPECT_EQ(kDialogGone, g_commands.lateCall);
  EXPECT_TRUE(completion->Calls().empty());
  completion->Release();
}

}  // namespace
}  // namespace Zentrava::UI
