// Calls into the page: names, invocation order and variant types of the
// arguments, and the rules of the getKeyInfo answer.
#include "app/page_callbacks.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/recording_dialog.h"

namespace {

using namespace Zentrava::App;
using apptest::RecordingDialog;
using apptest::Text;

class PageCallbacksTest : public ::testing::Test {
 protected:
  void SetUp() override { mainDialog = &dialog_; }
  void TearDown() override { mainDialog = nullptr; }
  RecordingDialog dialog_;
};

TEST_F(PageCallbacksTest, ArgumentsAreLastFirstWithTheirTypes) {
  SetItemInfo(3, "keyid", L"密钥");
  SetProgress(55, -1, true);
  SetKeyInfo(1, "sn", L"");
  SetKeyInfoFlag(2, "plugin", 1);
  SetKeyInfoFlag(2, "selected", 2);  // only 1 means true
  IsAnyKeyConnect();
  IsCanOpenUpdate();
  OnDeviceChange(0x8000, 0);

  const auto& c = dialog_.calls;
  ASSERT_EQ(dialog_.Names(),
            (std::vector<std::wstring>{L"setItemInfo", L"setProgress", L"setKeyInfo", L"setKeyInfo",
                                       L"setKeyInfo", L"isAnyKeyConnect", L"is_can_Open_update",
                                       L"isAnyKeyConnect"}));
  ASSERT_EQ(c[0].args.size(), 3u);
  EXPECT_EQ(V_VT(&c[0].args[2].get()), VT_UI4);
  EXPECT_EQ(V_UI4(&c[0].args[2].get()), 3u);
  EXPECT_EQ(Text(c[0].args[1].get()), L"keyid");
  EXPECT_EQ(Text(c[0].args[0].get()), L"密钥");

  EXPECT_EQ(V_VT(&c[1].args[2].get()), VT_INT);
  EXPECT_EQ(V_INT(&c[1].args[2].get()), 55);
  EXPECT_EQ(V_VT(&c[1].args[1].get()), VT_INT);
  EXPECT_EQ(V_INT(&c[1].args[1].get()), -1);
  EXPECT_EQ(V_VT(&c[1].args[0].get()), VT_BOOL);
  EXPECT_EQ(V_BOOL(&c[1].args[0].get()), VARIANT_TRUE);

  EXPECT_EQ(V_VT(&c[2].args[0].get()), VT_BSTR);
  EXPECT_EQ(Text(c[2].args[0].get()), L"");
  EXPECT_EQ(V_VT(&c[3].args[0].get()), VT_BOOL);
  EXPECT_EQ(V_BOOL(&c[3].args[0].get()), VARIANT_TRUE);
  EXPECT_EQ(V_BOOL(&c[4].args[0].get()), VARIANT_FALSE);
  EXPECT_TRUE(c[5].args.empty());
}

TEST_F(PageCallbacksTest, KeyInfoAnswerMustBeAStringThatFits) {
  struct Case {
    const char* what;
    HRESULT status;
    VARTYPE type;
    std::wstring text;
    int outcome;
  } cases[] = {
      {"string", S_OK, VT_BSTR, L"Vendor CSP", 0},
      {"empty string", S_OK, VT_BSTR, L"", 0},
      {"255 characters", S_OK, VT_BSTR, std::wstring(255, L'x'), 0},
      {"256 characters", S_OK, VT_BSTR, std::wstring(256, L'x'), 1},
      {"number", S_OK, VT_I4, L"", 1},
      {"failed call", DISP_E_UNKNOWNNAME, VT_BSTR, L"late", 1},
  };
  for (const Case& c : cases) {
    dialog_.calls.clear();
    dialog_.answer = [&c](const std::wstring&, VARIANT* result) {
      if (c.type == VT_BSTR) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(c.text.data(), static_cast<UINT>(c.text.size()));
      } else {
        V_VT(result) = c.type;
        V_I4(result) = 5;
      }
      return c.status;
    };
    wchar_t buffer[kKeyInfoChars];
    wmemset(buffer, L'#', kKeyInfoChars);
    EXPECT_EQ(GetKeyInfo(4, "cspname", buffer), c.outcome) << c.what;
    if (c.outcome == 0) {
      EXPECT_EQ(std::wstring(buffer), c.text) << c.what;
    } else {
      EXPECT_EQ(buffer[0], L'#') << c.what;  // untouched
    }
    ASSERT_EQ(dialog_.calls.size(), 1u);
    EXPECT_EQ(dialog_.calls[0].name, L"getKeyInfo");
    ASSERT_EQ(dialog_.calls[0].args.size(), 2u);
    EXPECT_EQ(V_UI4(&dialog_.calls[0].args[1].get()), 4u);
    EXPECT_EQ(Text(dialog_.calls[0].args[0].get()), L"cspname");
  }
}

TEST(PageCallbacksWithoutDialogTest, CallsDoNothing) {
  ASSERT_EQ(mainDialog.load(), nullptr);
  EXPECT_EQ(CallPageFunction(L"isAnyKeyConnect", nullptr, 0, nullptr), E_POINTER);
  wchar_t buffer[kKeyInfoChars] = L"kept";
  EXPECT_EQ(GetKeyInfo(0, "cspname", buffer), 1);
  EXPECT_STREQ(buffer, L"kept");
  SetItemInfo(0, "name", L"x");
}

}  // namespace
