// The commands whose whole work lives in the application core: settings,
// message boxes, waiting, calling the page, start-up arguments, log lines and
// the window and process endings.
#include <windows.h>
#include <shellapi.h>

#include "app/app_commands.h"
#include "app/app_messages.h"
#include "app/app_profile.h"
#include "app/app_state.h"
#include "support/utf_text.h"
#include "tools/launch_process.h"
#include "tools/log_file.h"
#include "ui/bs_dialog.h"

namespace Zentrava::App {

namespace {

UI::IBSDialog* DialogOf(const ScriptCall& call) {
  return call.dialog ? call.dialog : mainDialog.load();
}

HWND DialogWindow(const ScriptCall& call) {
  UI::IBSDialog* dialog = DialogOf(call);
  return dialog ? dialog->GetHwnd() : nullptr;
}

// Booleans are stored as integers widened with their sign: true is -1.
int BooleanAsInteger(VARIANT_BOOL value) { return static_cast<int>(static_cast<SHORT>(value)); }

// Pumps the calling thread's messages until `until` has passed, a quit
// message arrives or the program is told to end; the quit message is put back
// for the loop that owns it.
void PumpMessagesFor(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (!running) {
      // The wake-up that ended the main loop may have been taken here; the
      // loop gets another one so that it sees the cleared flag at once.
      PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
      return;
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    // Sleeps until the time is up or the next message arrives; a thread with
    // no window (a worker) simply sleeps.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
  }
}

}  // namespace

VARIANT CmdSaveSettings(const ScriptCall& call) {
  if (!IsString(call.a1)) {
    ShowCommandError(kSaveSettingsKeyError);
    return EmptyValue();
  }
  const std::wstring key = StringValue(call.a1);
  if (IsNumber(call.a2)) {
    WriteProfileInt(kSettingsSection, key.c_str(), V_I4(call.a2));
  } else if (IsString(call.a2)) {
    WriteProfileString(kSettingsSection, key.c_str(), StringValue(call.a2).c_str());
  } else if (IsBoolean(call.a2)) {
    WriteProfileInt(kSettingsSection, key.c_str(), BooleanAsInteger(V_BOOL(call.a2)));
  } else {
    ShowCommandError(kSaveSettingsValueError);
  }
  return EmptyValue();
}

VARIANT CmdLoadSettings(const ScriptCall& call) {
  if (!IsString(call.a1)) {
    ShowCommandError(kLoadSettingsKeyError);
    return EmptyValue();
  }
  const std::wstring key = StringValue(call.a1);
  if (IsNumber(call.a2)) {
    return NumberResult(GetProfileInt(kSettingsSection, key.c_str(), V_I4(call.a2)));
  }
  if (IsString(call.a2)) {
    return StringResult(
        GetProfileString(kSettingsSection, key.c_str(), StringValue(call.a2).c_str()));
  }
  if (IsBoolean(call.a2)) {
    int stored = GetProfileInt(kSettingsSection, key.c_str(), BooleanAsInteger(V_BOOL(call.a2)));
    // Any stored non-zero value is true; the page gets a proper VARIANT_TRUE.
    return BooleanResult((stored & 0xFFFF) != 0 ? VARIANT_TRUE : VARIANT_FALSE);
  }
  ShowCommandError(kLoadSettingsValueError);
  return EmptyValue();
}

VARIANT CmdMessageBox(const ScriptCall& call) {
  if (!IsString(call.a1)) return EmptyValue();
  const int kind = IsNumber(call.a2) ? V_I4(call.a2) : 0;
  ShowAppMessage(StringValue(call.a1).c_str(), L"", ProgramTitle().c_str(), kind,
                 DialogWindow(call));
  return EmptyValue();
}

VARIANT CmdDebugPrint(const ScriptCall&) { return EmptyValue(); }

VARIANT CmdDelayMs(const ScriptCall& call) {
  if (!IsNumber(call.a1)) return EmptyValue();
  PumpMessagesFor(static_cast<DWORD>(V_I4(call.a1)));
  return EmptyValue();
}

VARIANT CmdCallJs(const ScriptCall& call) {
  if (!IsString(call.a1)) return EmptyValue();
  UI::IBSDialog* dialog = DialogOf(call);
  if (!dialog) return EmptyValue();
  // Invocation order: the page function's first parameter is the last element.
  VARIANT args[3];
  for (VARIANT& v : args) VariantInit(&v);
  VariantCopy(&args[0], const_cast<VARIANT*>(call.a4));
  VariantCopy(&args[1], const_cast<VARIANT*>(call.a3));
  VariantCopy(&args[2], const_cast<VARIANT*>(call.a2));
  dialog->CallFunction(StringValue(call.a1).c_str(), args, 3, nullptr);
  for (VARIANT& v : args) VariantClear(&v);
  return EmptyValue();
}

std::wstring ExtraStartupArgument(const wchar_t* commandLine) {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(commandLine, &count);
  std::wstring answer = L"Normal";
  if (args && count == 2) answer = args[1];
  if (args) LocalFree(args);
  return answer;
}

VARIANT CmdDoExtraStartup(const ScriptCall&) {
  return StringResult(ExtraStartupArgument(GetCommandLineW()));
}

VARIANT CmdRestartApp(const ScriptCall&) {
  // RestartSelf marks the restart itself once the new copy has started.
  Tools::RestartSelf();
  return EmptyValue();
}

VARIANT CmdSetLog(const ScriptCall& call) {
  if (!IsString(call.a1)) return EmptyValue();
  Tools::WriteLogLine(WideToUtf8(StringValue(call.a1)).c_str());
  return EmptyValue();
}

VARIANT CmdMiniSize(const ScriptCall& call) {
  if (HWND window = DialogWindow(call)) ShowWindow(window, SW_MINIMIZE);
  return EmptyValue();
}

VARIANT CmdQuit(const ScriptCall&) {
  if (GetProfileInt(kSettingsSection, L"CloseType", 0) == 1) {
    // The lock stays held until the exit path has started the tray program.
    EndMainLoop();
  } else {
    QuitApp();
  }
  return EmptyValue();
}

}  // namespace Zentrava::App
