#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

#include "ui/bs_dialog.h"
#include "ui/message_box_backend.h"

namespace Zentrava::UI {
namespace {

// What the last box would have shown.
struct Shown {
  bool taskDialog = false;
  HWND owner = nullptr;
  std::wstring text, heading, title;
  DWORD flags = 0;
  DWORD commonButtons = 0;
  PCWSTR icon = nullptr;
  std::vector<std::pair<int, std::wstring>> buttons;
  UINT type = 0;
};
Shown g_shown;
int g_answer = IDOK;
HRESULT g_taskDialogResult = S_OK;

std::wstring Text(PCWSTR text) { return text ? text : L"<null>"; }

HRESULT WINAPI RecordTaskDialog(const TASKDIALOGCONFIG* config, int* button, int*, BOOL*) {
  g_shown = Shown();
  g_shown.taskDialog = true;
  g_shown.owner = config->hwndParent;
  g_shown.text = Text(config->pszContent);
  g_shown.heading = Text(config->pszMainInstruction);
  g_shown.title = Text(config->pszWindowTitle);
  g_shown.flags = config->dwFlags;
  g_shown.commonButtons = config->dwCommonButtons;
  g_shown.icon = config->pszMainIcon;
  for (UINT i = 0; i < config->cButtons; ++i)
    g_shown.buttons.emplace_back(config->pButtons[i].nButtonID, config->pButtons[i].pszButtonText);
  if (FAILED(g_taskDialogResult)) return g_taskDialogResult;
  if (button) *button = g_answer;
  return S_OK;
}

int WINAPI RecordMessageBox(HWND owner, LPCWSTR text, LPCWSTR title, UINT type) {
  g_shown = Shown();
  g_shown.owner = owner;
  g_shown.text = Text(text);
  g_shown.title = Text(title);
  g_shown.type = type;
  return g_answer;
}

class MessageBoxTest : public ::testing::Test {
 protected:
  void UseTaskDialogs(bool available) {
    MessageBoxBackend backend = {available ? &RecordTaskDialog : nullptr, &RecordMessageBox};
    SetMessageBoxBackendForTesting(&backend);
  }
  void SetUp() override {
    g_shown = Shown();
    g_answer = IDOK;
    g_taskDialogResult = S_OK;
  }
  void TearDown() override { SetMessageBoxBackendForTesting(nullptr); }
};

TEST_F(MessageBoxTest, TaskDialogCarriesTextHeadingTitleFlagsAndIconByKind) {
  UseTaskDialogs(true);
  struct Case {
    int kind;
    PCWSTR icon;
  } cases[] = {{0, nullptr},
               {1, TD_INFORMATION_ICON},
               {2, TD_WARNING_ICON},
               {3, nullptr},
               {4, TD_SHIELD_ICON},
               {5, TD_ERROR_ICON},
               {9, nullptr}};
  HWND owner = reinterpret_cast<HWND>(0x1234);
  for (const Case& c : cases) {
    EXPECT_EQ(IDOK, ShowMessage(L"body", L"head", L"title", static_cast<MessageKind>(c.kind), owner));
    EXPECT_TRUE(g_shown.taskDialog);
    EXPECT_EQ(c.icon, g_shown.icon) << c.kind;
    EXPECT_EQ(L"body", g_shown.text);
    EXPECT_EQ(L"head", g_shown.heading);
    EXPECT_EQ(L"title", g_shown.title);
    EXPECT_EQ(0x51u, g_shown.flags);
    EXPECT_EQ(0u, g_shown.commonButtons);
    EXPECT_TRUE(g_shown.buttons.empty());
    EXPECT_EQ(owner, g_shown.owner);
  }
}

TEST_F(MessageBoxTest, WithoutTaskDialogsAMessageBoxWithoutHeading) {
  UseTaskDialogs(false);
  struct Case {
    int kind;
    UINT type;
  } cases[] = {{0, 0}, {1, 0x40}, {2, 0x30}, {3, 0x20}, {4, 0}, {5, 0x10}, {-1, 0}};
  for (const Case& c : cases) {
    g_answer = IDOK;
    EXPECT_EQ(IDOK, ShowMessage(L"body", L"head", L"title", static_cast<MessageKind>(c.kind)));
    EXPECT_FALSE(g_shown.taskDialog);
    EXPECT_EQ(c.type, g_shown.type) << c.kind;
    EXPECT_EQ(L"body", g_shown.text);
    EXPECT_EQ(L"title", g_shown.title);
  }
}

TEST_F(MessageBoxTest, ChoiceHasTwoCommandLinksYesAndNo) {
  UseTaskDialogs(true);
  g_answer = IDNO;
  EXPECT_EQ(IDNO, ShowChoice(L"body", L"head", L"title", L"now", L"later"));
  ASSERT_EQ(2u, g_shown.buttons.size());
  EXPECT_EQ(IDYES, g_shown.buttons[0].first);
  EXPECT_EQ(L"now", g_shown.buttons[0].second);
  EXPECT_EQ(IDNO, g_shown.buttons[1].first);
  EXPECT_EQ(L"later", g_shown.buttons[1].second);
  EXPECT_EQ(nullptr, g_shown.icon);
  EXPECT_EQ(0x51u, g_shown.flags);
  g_answer = IDYES;
  EXPECT_EQ(IDYES, ShowChoice(L"body", L"head", L"title", L"now", L"later"));

  UseTaskDialogs(false);
  g_answer = IDYES;
  EXPECT_EQ(IDYES, ShowChoice(L"body", L"head", L"title", L"now", L"later"));
  EXPECT_EQ(static_cast<UINT>(MB_YESNO), g_shown.type);
  g_answer = IDNO;
  EXPECT_EQ(IDNO, ShowChoice(L"body", L"head", L"title", L"now", L"later"));
}

TEST_F(MessageBoxTest, AFailedTaskDialogFallsBackToAMessageBox) {
  UseTaskDialogs(true);
  g_taskDialogResult = E_OUTOFMEMORY;
  g_answer = IDOK;
  EXPECT_EQ(IDOK, ShowMessage(L"body", L"head", L"title", MessageKind::Error));
  EXPECT_FALSE(g_shown.taskDialog);
  EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), g_shown.type);
}

TEST_F(MessageBoxTest, ResourceNumbersAreLoadedAndNoOwnerMeansTheActiveWindow) {
  UseTaskDialogs(false);
  // No string 4242 exists in the test program: the text comes out empty, not garbage.
  ShowMessage(MAKEINTRESOURCEW(4242), nullptr, MAKEINTRESOURCEW(4243), MessageKind::None);
  EXPECT_EQ(L"", g_shown.text);
  EXPECT_EQ(L"", g_shown.title);
  EXPECT_EQ(GetActiveWindow(), g_shown.owner);
}

// The real boxes under the display, closed the way a user would.
struct Closer {
  std::wstring title;
  std::atomic<bool> found{false};
};

DWORD WINAPI CloseBoxWhenShown(void* parameter) {
  auto* closer = static_cast<Closer*>(parameter);
  for (int i = 0; i < 1000; ++i) {
    HWND box = FindWindowW(nullptr, closer->title.c_str());
    if (box != nullptr) {
      closer->found = true;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return 0;
    }
    Sleep(20);
  }
  return 1;
}

TEST_F(MessageBoxTest, RealTaskDialogAndMessageBoxAreShownAndClosed) {
  SetMessageBoxBackendForTesting(nullptr);
  if (SystemMessageBoxBackend().taskDialogIndirect == nullptr)
    GTEST_SKIP() << "comctl32 offers no task dialogs here";
  for (bool taskDialogs : {true, false}) {
    MessageBoxBackend backend = SystemMessageBoxBackend();
    if (!taskDialogs) backend.taskDialogIndirect = nullptr;
    SetMessageBoxBackendForTesting(&backend);
    Closer closer;
    closer.title = taskDialogs ? L"ui test task dialog" : L"ui test message box";
    HANDLE thread = CreateThread(nullptr, 0, &CloseBoxWhenShown, &closer, 0, nullptr);
    int button = ShowMessage(L"Closed by the test.", L"Heading", closer.title.c_str(),
                             MessageKind::Information);
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
    EXPECT_TRUE(closer.found) << taskDialogs;
    EXPECT_EQ(IDOK, button) << taskDialogs;
  }
}

}  // namespace
}  // namespace Zentrava::UI
