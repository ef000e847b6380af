#include "ui/bs_dialog.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_page.h"
#include "ui/bs_dialog_testing.h"
#include "ui/message_box_backend.h"
#include "support/scoped_handle.h"

namespace Zentrava::UI {
namespace {

using uitest::FakePage;
using uitest::PumpUntil;

struct Notification {
  UINT message;
  WPARAM first;
  LPARAM second;
};
std::vector<Notification> g_notifications;
std::vector<std::wstring> g_scriptCalls;

void RecordNotification(IBSDialog*, UINT message, WPARAM first, LPARAM second) {
  g_notifications.push_back({message, first, second});
}

VARIANT RecordScriptCall(IBSDialog*, const VARIANT* name, const VARIANT* a1, const VARIANT* a2,
                         const VARIANT*, const VARIANT*) {
  g_scriptCalls.push_back(uitest::Render(*name) + L"(" + uitest::Render(*a1) + L"," +
                          uitest::Render(*a2) + L")");
  VARIANT result;
  VariantInit(&result);
  return result;
}

bool TakeQuitMessage() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    g_notifications.clear();
    g_scriptCalls.clear();
    params_.caption = false;
    params_.title = L"ui dialog test";
    params_.scriptCallback = &RecordScriptCall;
    params_.messageCallback = &RecordNotification;
  }
  void TearDown() override {
    for (IBSDialog* dialog : dialogs_) DestroyBSDialog(dialog);
    TakeQuitMessage();
    CoUninitialize();
  }
  IBSDialog* Make() {
    IBSDialog* dialog = CreateBSDialog(&params_);
    if (dialog) dialogs_.push_back(dialog);
    return dialog;
  }
  void Forget(IBSDialog* dialog) {
    dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), dialog), dialogs_.end());
  }
  // A dialog showing a stand-in page of the given body size.
  IBSDialog* MakeLoaded(std::shared_ptr<FakePage>* page, long width = 780, long height = 560) {
    IBSDialog* dialog = Make();
    if (dialog == nullptr) return nullptr;
    *page = std::make_shared<FakePage>(width, height);
    CompleteDocumentForTesting(dialog, *page, L"http://127.0.0.1:9/Page.htm");
    return dialog;
  }

  BSDialogParams params_;
  std::vector<IBSDialog*> dialogs_;
};

SIZE WindowSize(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

TEST_F(DialogTest, ARecordOfAnotherSizeGivesNoDialog) {
  params_.size = sizeof(BSDialogParams) - 4;
  EXPECT_EQ(nullptr, CreateBSDialog(&params_));
  EXPECT_EQ(nullptr, CreateBSDialog(nullptr));
}

TEST_F(DialogTest, WindowStylesFollowCaptionAndFitting) {
  struct Case {
    bool caption;
    BOOL fit;
    DWORD style;
  } cases[] = {{true, TRUE, 0x90CA0088},
               {false, TRUE, 0x900A0008},
               {true, FALSE, 0x90CA0088 | 0x50000},
               {false, FALSE, 0x900A0008 | 0x50000}};
  for (const Case& c : cases) {
    params_.caption = c.caption;
    params_.fitToPage = c.fit;
    IBSDialog* dialog = Make();
    ASSERT_NE(nullptr, dialog);
    HWND window = dialog->GetHwnd();
    // The system adds clipping and 3D-look bits of its own; the rest is ours.
    DWORD style =
        static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)) & ~(WS_CLIPSIBLINGS | DS_3DLOOK);
    EXPECT_EQ(c.style, style) << c.caption << c.fit;
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(L"ui dialog test", title);
    EXPECT_NE(nullptr, BrowserForTesting(dialog));
    DestroyBSDialog(dialog);
    Forget(dialog);
  }
}

TEST_F(DialogTest, FitsToThePageAndCentresOnlyOnTheFirstLoad) {
  std::shared_ptr<FakePage> page;
  IBSDialog* dialog = MakeLoaded(&page);
  ASSERT_NE(nullptr, dialog);
  HWND window = dialog->GetHwnd();
  SIZE size = WindowSize(window);
  EXPECT_EQ(780, size.cx);
  EXPECT_EQ(560, size.cy);

  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT rect;
  GetWindowRect(window, &rect);
  const RECT& work = monitor.rcWork;
  LONG expectedX = std::max(work.left, work.left + (work.right - work.left - 780) / 2);
  LONG expectedY = std::max(work.top, work.top + (work.bottom - work.top - 560) / 2);
  EXPECT_EQ(expectedX, rect.left);
  EXPECT_EQ(expectedY, rect.top);

  // A later load refits but leaves the window where the user put it.
  SetWindowPos(window, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  auto second = std::make_shared<FakePage>(500, 400);
  CompleteDocumentForTesting(dialog, second, L"http://127.0.0.1:9/other.htm");
  GetWindowRect(window, &rect);
  EXPECT_EQ(10, rect.left);
  EXPECT_EQ(20, rect.top);
  EXPECT_EQ(500, rect.right - rect.left);
  EXPECT_EQ(400, rect.bottom - rect.top);
  // Page calls still go to the first page's document.
  page->script()->SetFunction(L"probe");
  EXPECT_EQ(S_OK, dialog->CallFunction(L"probe", nullptr, 0, nullptr));
  EXPECT_EQ(1u, page->script()->Calls().size());

  // The body's resize refits as well.
  second->SetBodySize(640, 480);
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::BodyResize, nullptr, nullptr));
  EXPECT_EQ(640, WindowSize(window).cx);
  EXPECT_EQ(480, WindowSize(window).cy);
}

TEST_F(DialogTest, CaptionAddsToTheHeightAndMaximaCapTheSize) {
  params_.caption = true;
  params_.maxWidth = 600;
  std::shared_ptr<FakePage> page;
  IBSDialog* dialog = MakeLoaded(&page, 780, 400);
  ASSERT_NE(nullptr, dialog);
  SIZE size = WindowSize(dialog->GetHwnd());
  EXPECT_EQ(600, size.cx);
  EXPECT_EQ(400 + 28, size.cy);
  EXPECT_EQ(S_OK, dialog->ResizeWindow(300, 200));
  size = WindowSize(dialog->GetHwnd());
  EXPECT_EQ(300, size.cx);
  EXPECT_EQ(200, size.cy);
}

TEST_F(DialogTest, EveryPageCallFailsWithEPointerBeforeThePageHasLoaded) {
  IBSDialog* dialog = Make();
  ASSERT_NE(nullptr, dialog);
  VARIANT value = uitest::IntVariant(1);
  IDispatchEx* object = reinterpret_cast<IDispatchEx*>(0xbdbd);
  EXPECT_EQ(E_POINTER, dialog->CallFunction(L"f", nullptr, 0, nullptr));
  EXPECT_EQ(E_POINTER, dialog->SetVariable(L"v", &value));
  EXPECT_EQ(E_POINTER, dialog->GetVariable(L"v", &value));
  EXPECT_EQ(E_POINTER, dialog->ExecScript(L"1"));
  EXPECT_EQ(E_POINTER, dialog->CreateObject(L"Object", &object, nullptr));
  EXPECT_EQ(E_POINTER, dialog->ResizeWindow(-1, -1));
  EXPECT_EQ(reinterpret_cast<IDispatchEx*>(0xbdbd), object);
  EXPECT_EQ(VT_I4, value.vt);
}

// Runs `work` on a new thread while the calling (dialog) thread pumps.
void RunOnWorker(const std::function<void()>& work) {
  struct Box {
    std::function<void()> work;
    std::atomic<bool> done{false};
  } box;
  box.work = work;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        auto* b = static_cast<Box*>(p);
        b->work();
        b->done = true;
        return 0;
      },
      &box, 0, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return box.done.load(); }, 20000));
  WaitForSingleObject(thread, 5000);
  CloseHandle(thread);
}

TEST_F(DialogTest, PageCallsFromAWorkerRunOnTheDialogThread) {
  std::shared_ptr<FakePage> page;
  IBSDialog* dialog = MakeLoaded(&page);
  ASSERT_NE(nullptr, dialog);
  uitest::FakeDispatch* script = page->script();
  script->SetFunction(L"setItemInfo", [](const std::vector<VARIANT*>&, VARIANT* result) {
    if (result) *result = uitest::StringVariant(L"answer");
    return S_OK;
  });
  VARIANT greeting = uitest::StringVariant(L"hello");
  script->SetValue(L"greeting", greeting);
  VariantClear(&greeting);

  HRESULT call = E_FAIL, unknown = E_FAIL, get = E_FAIL, set = E_FAIL, exec = E_FAIL,
          create = E_FAIL;
  std::wstring answer, read;
  IDispatchEx* made = nullptr;
  RunOnWorker([&] {
    VARIANT args[3] = {uitest::StringVariant(L"value"), uitest::StringVariant(L"name"),
                       uitest::IntVariant(0)};
    VARIANT result;
    VariantInit(&result);
    call = dialog->CallFunction(L"setItemInfo", args, 3, &result);
    answer = uitest::Render(result);
    VariantClear(&result);
    for (VARIANT& arg : args) VariantClear(&arg);
    unknown = dialog->CallFunction(L"noSuchFunction", nullptr, 0, nullptr);
    VARIANT value;
    VariantInit(&value);
    get = dialog->GetVariable(L"greeting", &value);
    read = uitest::Render(value);
    VariantClear(&value);
    VARIANT number = uitest::IntVariant(7);
    set = dialog->SetVariable(L"greeting", &number);
    exec = dialog->ExecScript(L"ready()");
    create = dialog->CreateObject(L"Object", &made, [](IDispatchEx* object) -> HRESULT {
      for (const wchar_t* name : {L"chrome", L"firefox"}) {
        DISPID id;
        ScopedBstr text(SysAllocString(name));
        HRESULT hr = object->GetDispID(text.get(), fdexNameEnsure, &id);
        if (FAILED(hr)) return hr;
        VARIANT value = uitest::StringVariant(name);
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params = {&value, &named, 1, 1};
        hr = object->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &params, nullptr,
                              nullptr, nullptr);
        VariantClear(&value);
        if (FAILED(hr)) return hr;
      }
      return S_OK;
    });
  });
  EXPECT_EQ(S_OK, call);
  EXPECT_EQ(L"answer", answer);
  EXPECT_EQ(DISP_E_UNKNOWNNAME, unknown);
  EXPECT_EQ(S_OK, get);
  EXPECT_EQ(L"hello", read);
  EXPECT_EQ(S_OK, set);
  VARIANT now;
  ASSERT_TRUE(script->GetValue(L"greeting", &now));
  EXPECT_EQ(L"7", uitest::Render(now));
  EXPECT_EQ(S_OK, exec);
  ASSERT_EQ(1u, page->ExecutedScripts().size());
  EXPECT_EQ(L"javascript:ready()", page->ExecutedScripts()[0]);
  EXPECT_EQ(S_OK, create);
  ASSERT_NE(nullptr, made);
  std::vector<std::wstring> order = static_cast<uitest::FakeDispatch*>(made)->PutOrder();
  EXPECT_EQ((std::vector<std::wstring>{L"chrome", L"firefox"}), order);
  made->Release();

  auto calls = script->Calls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(L"setItemInfo", calls[0].name);
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"name", L"value"}), calls[0].args);
  EXPECT_EQ(GetCurrentThreadId(), calls[0].threadId);
}

TEST_F(DialogTest, CreateObjectChecksTheConstructorAndKeepsAFailedObject) {
  std::shared_ptr<FakePage> page;
  IBSDialog* dialog = MakeLoaded(&page);
  ASSERT_NE(nullptr, dialog);
  VARIANT text = uitest::StringVariant(L"not an object");
  page->script()->SetValue(L"Text", text);
  VariantClear(&text);
  IDispatchEx* object = reinterpret_cast<IDispatchEx*>(0xbdbd);
  EXPECT_EQ(DISP_E_TYPEMISMATCH, dialog->CreateObject(L"Text", &object, nullptr));
  EXPECT_EQ(E_POINTER,
            dialog->CreateObject(L"Array", &object, [](IDispatchEx*) { return E_POINTER; }));
  EXPECT_EQ(reinterpret_cast<IDispatchEx*>(0xbdbd), object);
  // Unknown request numbers are refused.
  EXPECT_EQ(E_FAIL, static_cast<HRESULT>(SendMessageW(dialog->GetHwnd(), WM_USER + 1, 99, 1)));
}

struct BoxCall {
  IBSDialog* dialog;
  std::atomic<bool> called{false};
  std::atomic<bool> boxSeen{false};
  HRESULT status = E_FAIL;
};

DWORD WINAPI CallWhileBoxShown(void* parameter) {
  auto* job = static_cast<BoxCall*>(parameter);
  HWND box = nullptr;
  for (int i = 0; i < 500 && box == nullptr; ++i) {
    box = FindWindowW(nullptr, L"ui box owner test");
    if (box == nullptr) Sleep(20);
  }
  job->boxSeen = box != nullptr;
  job->status = job->dialog->CallFunction(L"probe", nullptr, 0, nullptr);
  job->called = true;
  if (box) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}

TEST_F(DialogTest, APageCallIsServedWhileTheDialogThreadShowsAMessageBox) {
  std::shared_ptr<FakePage> page;
  IBSDialog* dialog = MakeLoaded(&page);
  ASSERT_NE(nullptr, dialog);
  page->script()->SetFunction(L"probe");
  MessageBoxBackend backend = SystemMessageBoxBackend();
  backend.taskDialogIndirect = nullptr;
  SetMessageBoxBackendForTesting(&backend);
  BoxCall job;
  job.dialog = dialog;
  HANDLE thread = CreateThread(nullptr, 0, &CallWhileBoxShown, &job, 0, nullptr);
  ShowMessage(L"A worker calls the page meanwhile.", nullptr, L"ui box owner test",
              MessageKind::None, dialog->GetHwnd());
  // The call was made and answered before the box went away.
  EXPECT_TRUE(job.boxSeen);
  EXPECT_TRUE(job.called);
  WaitForSingleObject(thread, 20000);
  CloseHandle(thread);
  SetMessageBoxBackendForTesting(nullptr);
  EXPECT_EQ(S_OK, job.status);
  auto calls = page->script()->Calls();
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(GetCurrentThreadId(), calls[0].threadId);
}

TEST_F(DialogTest, ReservedElementsActAndNotifyTheScriptCallback) {
  std::shared_ptr<FakePage> page;
  IBSDialog* dialog = MakeLoaded(&page);
  ASSERT_NE(nullptr, dialog);
  HWND window = dialog->GetHwnd();
  MSG message;

  // The title bar moves the window, its children with ids of their own do not.
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::MouseDown, L"ui_title", L""));
  EXPECT_TRUE(PeekMessageW(&message, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
  EXPECT_EQ(static_cast<WPARAM>(HTCAPTION), message.wParam);
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::MouseDown, L"ui_title", L"ui_title"));
  EXPECT_TRUE(PeekMessageW(&message, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::MouseDown, L"ui_title", L"ui_mini"));
  EXPECT_FALSE(PeekMessageW(&message, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE));

  // Links cannot be dragged.
  EXPECT_FALSE(FirePageEventForTesting(dialog, PageEvent::AnchorDragStart, nullptr, L"link"));

  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::Click, L"ui_close", L"ui_close"));
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(TakeQuitMessage());
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::Click, L"ui_minimize", L"ui_minimize"));
  EXPECT_TRUE(IsIconic(window));
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::Click, L"ui_restore", L"ui_restore"));
  EXPECT_FALSE(IsIconic(window));
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::Click, L"ui_maximize", L"ui_maximize"));
  EXPECT_TRUE(IsZoomed(window));
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::Click, L"ui_quit", L"ui_quit"));
  EXPECT_TRUE(TakeQuitMessage());
  EXPECT_TRUE(FirePageEventForTesting(dialog, PageEvent::Click, L"ui_other", L"ui_other"));

  std::vector<std::wstring> expected = {
      L"ui_notify(ui_close,undefined)", L"ui_notify(ui_minimize,undefined)",
      L"ui_notify(ui_restore,undefined)", L"ui_notify(ui_maximize,undefined)",
      L"ui_notify(ui_quit,undefined)"};
  EXPECT_EQ(expected, g_scriptCalls);
}

TEST_F(DialogTest, WindowNotificationsReachTheMessageCallback) {
  IBSDialog* dialog = Make();
  ASSERT_NE(nullptr, dialog);
  HWND window = dialog->GetHwnd();
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(40001, 0), 0);
  COPYDATASTRUCT data = {7, 0, nullptr};
  EXPECT_EQ(TRUE, SendMessageW(window, WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                               reinterpret_cast<LPARAM>(&data)));
  UINT notify = AssistantNotifyMessage();
  EXPECT_EQ(RegisterWindowMessageW(L"AssistantNotify"), notify);
  SendMessageW(window, notify, 5, 6);
  // A timer of the window fires once.
  SetTimer(window, 77, 10, nullptr);
  uitest::PumpFor(200);
  EXPECT_FALSE(KillTimer(window, 77));

  ASSERT_EQ(4u, g_notifications.size());
  EXPECT_EQ(static_cast<UINT>(WM_COMMAND), g_notifications[0].message);
  EXPECT_EQ(0u, g_notifications[0].first);
  EXPECT_EQ(IDCANCEL, g_notifications[0].second);
  EXPECT_EQ(40001, g_notifications[1].second);
  EXPECT_EQ(static_cast<UINT>(WM_COPYDATA), g_notifications[2].message);
  EXPECT_EQ(reinterpret_cast<WPARAM>(window), g_notifications[2].first);
  EXPECT_EQ(reinterpret_cast<LPARAM>(&data), g_notifications[2].second);
  EXPECT_EQ(0x8001u, g_notifications[3].message);
  EXPECT_EQ(5u, g_notifications[3].first);
  EXPECT_EQ(6, g_notifications[3].second);
  EXPECT_TRUE(IsWindow(window));

  // Closing destroys the window first, then notifies; the last dialog ends the loop.
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  ASSERT_EQ(5u, g_notifications.size());
  EXPECT_EQ(static_cast<UINT>(WM_CLOSE), g_notifications[4].message);
  EXPECT_TRUE(TakeQuitMessage());
  // A closed dialog refuses page calls.
  EXPECT_TRUE(FAILED(dialog->CallFunction(L"f", nullptr, 0, nullptr)));
}

TEST_F(DialogTest, OnlyTheLastDestroyedDialogPostsTheQuitMessage) {
  IBSDialog* first = Make();
  IBSDialog* second = Make();
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  DestroyBSDialog(first);
  Forget(first);
  EXPECT_FALSE(TakeQuitMessage());
  DestroyBSDialog(second);
  Forget(second);
  EXPECT_TRUE(TakeQuitMessage());
}

TEST_F(DialogTest, NavigatingToTheShownPageAgainIsCancelled) {
  IBSDialog* dialog = Make();
  ASSERT_NE(nullptr, dialog);
  IWebBrowser2* browser = BrowserForTesting(dialog);
  ASSERT_NE(nullptr, browser);
  auto page = std::make_shared<FakePage>();
  CompleteDocumentForTesting(dialog, page, L"http://127.0.0.1:9/App/Page.htm#start");
  EXPECT_EQ(L"http://127.0.0.1:9/app/page.htm", CurrentUrlForTesting(dialog));

  auto navigate = [&](const wchar_t* url) {
    ScopedBstr target(SysAllocString(url));
    VARIANT empty;
    VariantInit(&empty);
    browser->Navigate(target.get(), &empty, &empty, &empty, &empty);
    uitest::PumpFor(300);
  };
  navigate(L"http://127.0.0.1:9/app/page.htm#other");
  EXPECT_EQ(1, CancelledNavigationsForTesting(dialog));
  navigate(L"HTTP://127.0.0.1:9/APP/PAGE.HTM");
  EXPECT_EQ(2, CancelledNavigationsForTesting(dialog));
  navigate(L"http://127.0.0.1:9/app/next.htm");
  EXPECT_EQ(2, CancelledNavigationsForTesting(dialog));
}

}  // namespace
}  // namespace Zentrava::UI
