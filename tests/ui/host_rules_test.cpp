#include "ui/host_rules.h"

#include <gtest/gtest.h>
#include <mshtmhst.h>

namespace Zentrava::UI {
namespace {

TEST(NormalizeUrl, CutsFragmentLowersAndTurnsPathsIntoFileUrls) {
  struct Case {
    const wchar_t* input;
    const wchar_t* expected;
  } cases[] = {
      {L"res://C:\\Prog\\Assist.exe/200", L"res://c:\\prog\\assist.exe/200"},
      {L"res://C:\\Prog\\Assist.exe/200#tab2", L"res://c:\\prog\\assist.exe/200"},
      {L"HTTP://Bank.Example/Login#a#b", L"http://bank.example/login#a"},
      {L"http://bank.example/#", L"http://bank.example/"},
      {L"C:\\Pages\\Main.HTM", L"file:///c:/pages/main.htm"},
      {L"about:blank", L"about:blank"},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, NormalizeUrl(c.input)) << c.input;
}

TEST(IsCurrentPage, OnlyTheShownPageIgnoringFragmentCaseAndTrailingSlash) {
  const std::wstring current = NormalizeUrl(L"http://bank.example/app/");
  struct Case {
    const wchar_t* target;
    bool same;
  } cases[] = {
      {L"http://bank.example/app/", true},
      {L"http://bank.example/app", true},
      {L"HTTP://BANK.example/app/#section", true},
      {L"http://bank.example/app/other.htm", false},
      {L"http://bank.example/", false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.same, IsCurrentPage(current, c.target)) << c.target;
  // Before the first page nothing counts as the current page.
  EXPECT_FALSE(IsCurrentPage(L"", L"about:blank"));
}

TEST(ResourceUrl, NamesTheModulePathAndTheResource) {
  wchar_t path[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameW(nullptr, path, MAX_PATH));
  EXPECT_EQ(L"res://" + std::wstring(path) + L"/200", ResourceUrl(nullptr, 200u));
  EXPECT_EQ(L"res://" + std::wstring(path) + L"/PAGE.HTM", ResourceUrl(nullptr, L"PAGE.HTM"));
  // A module that is not loaded has no path: nothing to show.
  EXPECT_EQ(L"", ResourceUrl(reinterpret_cast<HMODULE>(0x10), 200u));
}

TEST(IsBlockedKey, NavigationHelpReloadAndPrintKeysOnly) {
  struct Case {
    UINT key;
    bool ctrl, alt, blocked;
  } cases[] = {
      {VK_ESCAPE, false, false, true}, {VK_F1, false, false, true},  {VK_F5, false, false, true},
      {VK_F5, true, false, true},      {VK_LEFT, false, true, true}, {VK_RIGHT, false, true, true},
      {VK_LEFT, false, false, false},  {VK_UP, false, true, false},  {'P', true, false, true},
      {'S', true, false, true},        {'D', true, false, true},     {'L', true, false, true},
      {'N', true, false, true},        {'O', true, false, true},     {'P', false, false, false},
      {'C', true, false, false},       {'V', true, false, false},    {'A', true, false, false},
      {VK_RETURN, false, false, false}, {VK_TAB, false, false, false}, {VK_F4, false, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.blocked, IsBlockedKey(c.key, c.ctrl, c.alt))
        << "key " << c.key << " ctrl " << c.ctrl << " alt " << c.alt;
}

TEST(ShowsBrowserContextMenu, OnlyOverSelectedText) {
  EXPECT_TRUE(ShowsBrowserContextMenu(CONTEXT_MENU_TEXTSELECT));
  for (DWORD kind : {CONTEXT_MENU_DEFAULT, CONTEXT_MENU_IMAGE, CONTEXT_MENU_CONTROL,
                     CONTEXT_MENU_TABLE, CONTEXT_MENU_ANCHOR, CONTEXT_MENU_UNKNOWN})
    EXPECT_FALSE(ShowsBrowserContextMenu(kind)) << kind;
}

}  // namespace
}  // namespace Zentrava::UI
