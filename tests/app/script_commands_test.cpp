// The command table, the value conventions and the commands of the
// application core, called through the script callback as the page calls
// them. Message boxes are recorded instead of shown; page calls go to a
// recording dialog.
#include "app/script_commands.h"

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "app/app_commands.h"
#include "app/app_messages.h"
#include "app/app_profile.h"
#include "app/app_state.h"
#include "app/key_services.h"
#include "app/recording_dialog.h"
#include "app/script_dispatcher.h"
#include "support/scoped_handle.h"
#include "support/utf_text.h"

namespace {

using namespace Zentrava::App;
using apptest::RecordingDialog;
using apptest::Text;
using Zentrava::ScopedVariant;

std::vector<AppMessage> g_boxes;

int RecordBox(const AppMessage& m) {
  g_boxes.push_back(m);
  return IDOK;
}

ScopedVariant Str(const wchar_t* text) {
  ScopedVariant v;
  V_VT(v.ptr()) = VT_BSTR;
  V_BSTR(v.ptr()) = SysAllocString(text);
  return v;
}
ScopedVariant Num(LONG n) {
  ScopedVariant v;
  V_VT(v.ptr()) = VT_I4;
  V_I4(v.ptr()) = n;
  return v;
}
ScopedVariant Bool(bool b) {
  ScopedVariant v;
  V_VT(v.ptr()) = VT_BOOL;
  V_BOOL(v.ptr()) = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
ScopedVariant Dbl(double d) {
  ScopedVariant v;
  V_VT(v.ptr()) = VT_R8;
  V_R8(v.ptr()) = d;
  return v;
}
ScopedVariant None() { return ScopedVariant(); }

class ScriptCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    previous_ = SetAppMessageSinkForTesting(RecordBox);
  }
  void TearDown() override { SetAppMessageSinkForTesting(previous_); }

  // callc(name, a1..a4) as the page makes it.
  ScopedVariant Call(ScopedVariant name, ScopedVariant a1 = None(), ScopedVariant a2 = None(),
                     ScopedVariant a3 = None(), ScopedVariant a4 = None()) {
    ScopedVariant result;
    *result.ptr() =
        OnScriptCall(&dialog_, &name.get(), &a1.get(), &a2.get(), &a3.get(), &a4.get());
    return result;
  }

  RecordingDialog dialog_;
  AppMessageSink previous_ = nullptr;
};

TEST(CommandTableTest, EveryNameHasItsNumberAndNamesAreExact) {
  struct Case {
    const wchar_t* name;
    int number;
  } cases[] = {
      {L"get_config", 1},      {L"save_settings", 2},    {L"load_settings", 3},
      {L"messagebox", 4},      {L"open_ie", 5},          {L"get_data", 6},
      {L"is_key_connect", 7},  {L"do_check", 8},         {L"do_fix", 9},
      {L"do_install", 10},     {L"get_version", 11},     {L"debug_print", 12},
      {L"delay_ms", 13},       {L"call_js", 14},         {L"do_extra_startup", 15},
      {L"check_update", 16},   {L"update_key_info", 17}, {L"restart_app", 18},
      {L"http_post", 19},      {L"start_with_boot", 21}, {L"set_Log", 22},
      {L"Get_SM_info", 23},    {L"mini_size", 24},       {L"quit", 25},
      {L"Quit", -1},           {L"set_log", -1},         {L"get_sm_info", -1},
      {L"ui_notify", -1},      {L"", -1},                {L"quit ", -1},
  };
  const ScriptCommandTable& table = CommandTable();
  EXPECT_EQ(table.entries().size(), 24u);
  for (const Case& c : cases) {
    ScopedVariant name = Str(c.name);
    EXPECT_EQ(table.Lookup(&name.get()), c.number) << c.name;
    if (c.number > 0) {
      EXPECT_NE(CommandFunctionFor(c.number), nullptr) << c.name;
    }
  }
}

TEST(CommandTableTest, NumbersPassThroughAndOtherTypesAreUnknown) {
  const ScriptCommandTable& table = CommandTable();
  ScopedVariant four = Num(4), twenty = Num(20), yes = Bool(true), empty = None(), real = Dbl(4.0);
  EXPECT_EQ(table.Lookup(&four.get()), 4);
  EXPECT_EQ(table.Lookup(&twenty.get()), 20);
  EXPECT_EQ(table.Lookup(&yes.get()), -1);
  EXPECT_EQ(table.Lookup(&empty.get()), -1);
  EXPECT_EQ(table.Lookup(&real.get()), -1);
  EXPECT_EQ(table.Lookup(nullptr), -1);
  ScopedVariant nullName;
  V_VT(nullName.ptr()) = VT_BSTR;  // a null BSTR is the empty name
  EXPECT_EQ(table.Lookup(&nullName.get()), -1);
  for (int n : {-1, 0, 20, 26, 1000}) EXPECT_EQ(CommandFunctionFor(n), nullptr) << n;
}

TEST(ValueConventionsTest, ConversionsAndLooseReads) {
  EXPECT_EQ(Zentrava::WideToUtf8(L"网银 ok"), "\xE7\xBD\x91\xE9\x93\xB6 ok");
  EXPECT_EQ(Zentrava::Utf8ToWide("\xE7\xBD\x91\xE9\x93\xB6 ok"), L"网银 ok");
  EXPECT_EQ(Zentrava::Utf8ToWide(""), L"");
  ScopedVariant n = Num(12), s = Str(L"34"), b = Bool(true), d = Dbl(2.0), e = None(), bad = Str(L"x");
  EXPECT_EQ(NumberValueLoose(&n.get()), 12);
  EXPECT_EQ(NumberValueLoose(&s.get()), 34);
  EXPECT_EQ(NumberValueLoose(&b.get()), -1);
  EXPECT_EQ(NumberValueLoose(&d.get()), 2);
  EXPECT_EQ(NumberValueLoose(&e.get()), 0);
  EXPECT_EQ(NumberValueLoose(&bad.get()), 0);
  EXPECT_EQ(StringValueLoose(&n.get()), L"12");
  EXPECT_EQ(StringValueLoose(&e.get()), L"");
  EXPECT_EQ(StringValue(&n.get()), L"");
}

TEST_F(ScriptCommandsTest, UnknownCommandsGiveUndefined) {
  EXPECT_EQ(V_VT(Call(Str(L"Quit")).ptr()), VT_EMPTY);
  EXPECT_EQ(V_VT(Call(Str(L"ui_notify"), Str(L"ui_close")).ptr()), VT_EMPTY);
  EXPECT_EQ(V_VT(Call(Num(20)).ptr()), VT_EMPTY);
  EXPECT_EQ(V_VT(Call(Num(99)).ptr()), VT_EMPTY);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_TRUE(dialog_.calls.empty());
}

TEST_F(ScriptCommandsTest, RejectedArgumentsShowTheirErrorBox) {
  struct Case {
    const wchar_t* command;
    ScopedVariant a1, a2;
    const wchar_t* text;
  } cases[] = {
      {L"save_settings", Num(1), Num(1), kSaveSettingsKeyError},
      {L"save_settings", Str(L"k"), Dbl(1.5), kSaveSettingsValueError},
      {L"save_settings", Str(L"k"), None(), kSaveSettingsValueError},
      {L"load_settings", None(), Num(1), kLoadSettingsKeyError},
      {L"load_settings", Str(L"k"), Dbl(1.5), kLoadSettingsValueError},
      {L"update_key_info", Str(L"1"), Num(0), kUpdateKeyInfoError},
  };
  for (Case& c : cases) {
    g_boxes.clear();
    ScopedVariant result = Call(Str(c.command), std::move(c.a1), std::move(c.a2));
    EXPECT_EQ(V_VT(result.ptr()), VT_EMPTY) << c.command;
    ASSERT_EQ(g_boxes.size(), 1u) << c.command;
    EXPECT_EQ(g_boxes[0].text, c.text);
    EXPECT_EQ(g_boxes[0].heading, L"错误");
    EXPECT_EQ(g_boxes[0].title, L"网银助手");
    EXPECT_EQ(g_boxes[0].kind, 5);
    EXPECT_EQ(g_boxes[0].owner, nullptr);
  }
}

TEST_F(ScriptCommandsTest, SettingsRoundTripWithTheirTypes) {
  Call(Str(L"save_settings"), Str(L"CloseType"), Bool(true));
  EXPECT_EQ(Zentrava::App::GetProfileInt(kSettingsSection, L"CloseType", 7), -1);
  ScopedVariant closeType = Call(Str(L"load_settings"), Str(L"CloseType"), Num(0));
  ASSERT_EQ(V_VT(closeType.ptr()), VT_I4);
  EXPECT_EQ(V_I4(closeType.ptr()), -1);

  ScopedVariant first = Call(Str(L"load_settings"), Str(L"IsFirstStart"), Bool(true));
  ASSERT_EQ(V_VT(first.ptr()), VT_BOOL);
  EXPECT_EQ(V_BOOL(first.ptr()), VARIANT_TRUE);
  Call(Str(L"save_settings"), Str(L"IsFirstStart"), Bool(false));
  ScopedVariant again = Call(Str(L"load_settings"), Str(L"IsFirstStart"), Bool(true));
  ASSERT_EQ(V_VT(again.ptr()), VT_BOOL);
  EXPECT_EQ(V_BOOL(again.ptr()), VARIANT_FALSE);

  // An integer 1 written by the page reads back as a proper true.
  Call(Str(L"save_settings"), Str(L"boot_start"), Num(1));
  ScopedVariant boot = Call(Str(L"load_settings"), Str(L"boot_start"), Bool(false));
  EXPECT_EQ(V_BOOL(boot.ptr()), VARIANT_TRUE);

  Call(Str(L"save_settings"), Str(L"LastTimeUpdate"), Str(L"2024/05/06 七点"));
  ScopedVariant last = Call(Str(L"load_settings"), Str(L"LastTimeUpdate"), Str(L"none"));
  EXPECT_EQ(Text(last.get()), L"2024/05/06 七点");
  ScopedVariant missing = Call(Str(L"load_settings"), Str(L"NeverStored"), Str(L"fallback"));
  EXPECT_EQ(Text(missing.get()), L"fallback");
  ScopedVariant updateTime = Call(Str(L"load_settings"), Str(L"update_time"), Num(30));
  EXPECT_EQ(V_I4(updateTime.ptr()), 30);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ScriptCommandsTest, MessageBoxByNameOrNumberOwnedByTheDialog) {
  dialog_.window = reinterpret_cast<HWND>(0x1234);
  Call(Num(4), Str(L"你好"), Num(2));
  Call(Str(L"messagebox"), Str(L"plain"));
  Call(Str(L"messagebox"), Num(5));  // not a string: nothing
  ASSERT_EQ(g_boxes.size(), 2u);
  EXPECT_EQ(g_boxes[0].text, L"你好");
  EXPECT_EQ(g_boxes[0].kind, 2);
  EXPECT_EQ(g_boxes[0].heading, L"");
  EXPECT_EQ(g_boxes[0].title, L"网银助手");
  EXPECT_EQ(g_boxes[0].owner, dialog_.window);
  EXPECT_EQ(g_boxes[1].kind, 0);
}

TEST_F(ScriptCommandsTest, CallJsPassesItsArgumentsInTheirOrder) {
  Call(Str(L"call_js"), Str(L"f"), Num(1), Str(L"two"), Bool(true));
  Call(Str(L"call_js"), Str(L"g"), Num(9));
  Call(Str(L"call_js"), Num(3), Num(1));  // no function name: nothing
  ASSERT_EQ(dialog_.calls.size(), 2u);
  const apptest::PageCall& f = dialog_.calls[0];
  EXPECT_EQ(f.name, L"f");
  ASSERT_EQ(f.args.size(), 3u);
  // Invocation order: element 2 is the page function's first parameter.
  EXPECT_EQ(V_VT(&f.args[2].get()), VT_I4);
  EXPECT_EQ(V_I4(&f.args[2].get()), 1);
  EXPECT_EQ(Text(f.args[1].get()), L"two");
  EXPECT_EQ(V_VT(&f.args[0].get()), VT_BOOL);
  const apptest::PageCall& g = dialog_.calls[1];
  ASSERT_EQ(g.args.size(), 3u);
  EXPECT_EQ(V_I4(&g.args[2].get()), 9);
  EXPECT_EQ(V_VT(&g.args[1].get()), VT_EMPTY);
  EXPECT_EQ(V_VT(&g.args[0].get()), VT_EMPTY);
}

TEST(ProgramStringsTest, TextsOfTheStringTable) {
  struct Case {
    UINT id;
    const wchar_t* text;
  } cases[] = {
      {102, L"网银助手"},
      {104, L"应用程序有更新发布\n是否立即应用"},
      {105, L"应用程序有重要更新\n需要立即应用"},
      {106, L"发现更新"},
      {107, L"立即更新"},
      {108, L"稍后更新"},
      {255, L"应用程序为当前最新版本。"},
      {256, L"无需更新"},
  };
  for (const Case& c : cases) EXPECT_EQ(LoadProgramString(c.id), c.text) << c.id;
  EXPECT_FALSE(LoadProgramString(103).empty());
  EXPECT_EQ(LoadProgramString(9999), L"");
  EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(199)), nullptr);
}

TEST(ExtraStartupTest, OneArgumentOrNormal) {
  EXPECT_EQ(ExtraStartupArgument(L"\"C:\\a b\\assist.exe\" scan"), L"scan");
  EXPECT_EQ(ExtraStartupArgument(L"assist.exe quicklink"), L"quicklink");
  EXPECT_EQ(ExtraStartupArgument(L"assist.exe"), L"Normal");
  EXPECT_EQ(ExtraStartupArgument(L"assist.exe ukey help"), L"Normal");
}

TEST_F(ScriptCommandsTest, SmallCommandsAnswerAsTheProtocolSays) {
  ScopedVariant startup = Call(Str(L"do_extra_startup"));
  EXPECT_EQ(V_VT(startup.ptr()), VT_BSTR);
  ScopedVariant post = Call(Str(L"http_post"), Num(42));
  ASSERT_EQ(V_VT(post.ptr()), VT_BSTR);
  EXPECT_EQ(Text(post.get()), L"");
  EXPECT_EQ(V_VT(Call(Str(L"debug_print"), Str(L"x")).ptr()), VT_EMPTY);
  EXPECT_EQ(V_VT(Call(Str(L"mini_size")).ptr()), VT_EMPTY);
}

// delay_ms keeps pumping until the time is up, gives a quit message back to
// the loop that owns it, and does not hang a thread that has no messages.
TEST_F(ScriptCommandsTest, DelayWaitsPumpsAndKeepsTheQuitMessage) {
  DWORD start = GetTickCount();
  Call(Str(L"delay_ms"), Num(120));
  EXPECT_GE(GetTickCount() - start, 120u);

  PostQuitMessage(3);
  Call(Str(L"delay_ms"), Num(60000));  // ends at once on the quit message
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);

  // Quitting from elsewhere during the wait ends it and leaves the main loop
  // a wake-up, since the one sent to it may have been taken by the wait.
  running = false;
  start = GetTickCount();
  Call(Str(L"delay_ms"), Num(60000));
  running = true;
  EXPECT_LT(GetTickCount() - start, 10000u);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_NULL, WM_NULL, PM_REMOVE));

  bool done = false;
  std::thread worker([&] {
    ScopedVariant name = Str(L"delay_ms"), ms = Num(50), e = None();
    VARIANT r = OnScriptCall(nullptr, &name.get(), &ms.get(), &e.get(), &e.get(), &e.get());
    VariantClear(&r);
    done = true;
  });
  worker.join();
  EXPECT_TRUE(done);
}

TEST_F(ScriptCommandsTest, QuitKeepsTheLockOnlyWhenTheTrayTakesOver) {
  for (int closeType : {0, 1}) {
    Zentrava::App::WriteProfileInt(kSettingsSection, L"CloseType", closeType);
    HANDLE lock = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    singleInstanceHandle = lock;
    running = true;
    Call(Str(L"quit"));
    EXPECT_FALSE(running) << closeType;
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << closeType;
    if (closeType == 1) {
      EXPECT_EQ(singleInstanceHandle.load(), lock);
      ReleaseSingleInstance();
    } else {
      EXPECT_EQ(singleInstanceHandle.load(), nullptr);
    }
  }
  running = true;
  Zentrava::App::WriteProfileInt(kSettingsSection, L"CloseType", 0);
}

// Fake USB and certificate services for the key commands.
struct KeyWorld {
  static std::vector<unsigned long> present;
  static std::vector<unsigned long> asked;
  static std::wstring summary;
  static bool IsPresent(unsigned long id) {
    asked.push_back(id);
    for (unsigned long p : present)
      if (p == id) return true;
    return false;
  }
  static std::wstring Summary(const std::wstring& provider) {
    return provider == L"Vendor CSP" ? summary : std::wstring();
  }
};
std::vector<unsigned long> KeyWorld::present;
std::vector<unsigned long> KeyWorld::asked;
std::wstring KeyWorld::summary;

class KeyCommandsTest : public ScriptCommandsTest {
 protected:
  void SetUp() override {
    ScriptCommandsTest::SetUp();
    KeyServices services;
    services.isKeyPresent = KeyWorld::IsPresent;
    services.certificateSummary = KeyWorld::Summary;
    SetKeyServices(services);
    KeyWorld::asked.clear();
    mainDialog = &dialog_;
    dialog_.answer = [](const std::wstring& name, VARIANT* result) {
      if (name == L"getKeyInfo" && result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(L"Vendor CSP");
      }
      return S_OK;
    };
  }
  void TearDown() override {
    mainDialog = nullptr;
    SetKeyServices(KeyServices());
    ScriptCommandsTest::TearDown();
  }
};

TEST_F(KeyCommandsTest, ConnectedKeyIsSelectedAndItsCertificatePublished) {
  KeyWorld::present = {0x096E0713};
  KeyWorld::summary = L"01AB;CN=Issuer;CN=Holder;2030-01-01";
  ScopedVariant result = Call(Str(L"is_key_connect"), Str(L"0x096E0713"), Num(2));
  ASSERT_EQ(V_VT(result.ptr()), VT_BOOL);
  EXPECT_EQ(V_BOOL(result.ptr()), VARIANT_TRUE);
  std::vector<std::wstring> expected = {L"setKeyInfo", L"setKeyInfo", L"getKeyInfo",
                                        L"setKeyInfo", L"setKeyInfo", L"setKeyInfo",
                                        L"setKeyInfo", L"is_can_Open_update"};
  ASSERT_EQ(dialog_.Names(), expected);
  const auto& calls = dialog_.calls;
  EXPECT_EQ(Text(calls[0].args[1].get()), L"selected");
  EXPECT_EQ(V_BOOL(&calls[0].args[0].get()), VARIANT_TRUE);
  EXPECT_EQ(Text(calls[1].args[1].get()), L"plugin");
  EXPECT_EQ(V_UI4(&calls[1].args[2].get()), 2u);
  EXPECT_EQ(Text(calls[2].args[0].get()), L"cspname");
  const wchar_t* fields[][2] = {{L"sn", L"01AB"},
                                {L"issuer", L"CN=Issuer"},
                                {L"subject", L"CN=Holder"},
                                {L"date", L"2030-01-01"}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Text(calls[3 + i].args[1].get()), fields[i][0]);
    EXPECT_EQ(Text(calls[3 + i].args[0].get()), fields[i][1]);
  }
}

TEST_F(KeyCommandsTest, EitherIdOfAPairCountsAndAnEmptyFirstIdIsNotAsked) {
  KeyWorld::present = {0x11112222};
  KeyWorld::summary = L"only;three;fields";
  ScopedVariant pair = Call(Str(L"is_key_connect"), Str(L"11112222|33334444"), Num(0));
  EXPECT_EQ(V_BOOL(pair.ptr()), VARIANT_TRUE);
  EXPECT_EQ(KeyWorld::asked, (std::vector<unsigned long>{0x33334444, 0x11112222}));
  // A summary of another shape clears the four fields and stops there.
  ASSERT_EQ(dialog_.calls.size(), 7u);
  for (int i = 3; i < 7; ++i) EXPECT_EQ(Text(dialog_.calls[i].args[0].get()), L"");

  KeyWorld::asked.clear();
  dialog_.calls.clear();
  ScopedVariant absent = Call(Str(L"is_key_connect"), Str(L"|0x11112223zz"), Num(1));
  EXPECT_EQ(V_BOOL(absent.ptr()), VARIANT_FALSE);
  EXPECT_EQ(KeyWorld::asked, (std::vector<unsigned long>{0x11112223}));
  ASSERT_EQ(dialog_.Names(), (std::vector<std::wstring>{L"setKeyInfo"}));
  EXPECT_EQ(Text(dialog_.calls[0].args[1].get()), L"plugin");
  EXPECT_EQ(V_BOOL(&dialog_.calls[0].args[0].get()), VARIANT_FALSE);
}

TEST_F(KeyCommandsTest, CertificateSummaryAndUpdateByIndex) {
  KeyWorld::summary = L"a;b;c;d";
  ScopedVariant info = Call(Str(L"Get_SM_info"), Str(L"Vendor CSP"));
  EXPECT_EQ(Text(info.get()), L"a;b;c;d");
  ScopedVariant number = Call(Str(L"update_key_info"), Num(7), Num(1));
  ASSERT_EQ(V_VT(number.ptr()), VT_I4);
  EXPECT_EQ(V_I4(number.ptr()), 7);
  EXPECT_EQ(dialog_.Names().back(), L"is_can_Open_update");
}

// Without the USB code the key commands still answer in their own types: no
// key is present and no certificate is found.
TEST_F(KeyCommandsTest, WithoutKeyServicesNoKeyIsPresent) {
  SetKeyServices(KeyServices());
  ScopedVariant connected = Call(Str(L"is_key_connect"), Str(L"0x096E0713"), Num(0));
  ASSERT_EQ(V_VT(connected.ptr()), VT_BOOL);
  EXPECT_EQ(V_BOOL(connected.ptr()), VARIANT_FALSE);
  ASSERT_EQ(dialog_.Names(), (std::vector<std::wstring>{L"setKeyInfo"}));
  EXPECT_EQ(Text(dialog_.calls[0].args[1].get()), L"plugin");

  ScopedVariant info = Call(Str(L"Get_SM_info"), Str(L"Vendor CSP"));
  ASSERT_EQ(V_VT(info.ptr()), VT_BSTR);
  EXPECT_EQ(Text(info.get()), L"");
}

}  // namespace
