// The page's script commands: their names and numbers, the lookup from the
// name the page passes, and the value conventions every command body follows
// (which variant types count as string, number and boolean, how text is
// converted, how results are made). A command body is one small function of
// type ScriptCommandFunction; the dispatcher (app/script_dispatcher.h) picks
// it by number.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>

namespace Zentrava::UI {
class IBSDialog;
}

namespace Zentrava::App {

// Command numbers as the page may also pass them directly. 20 is unused.
enum ScriptCommand : int {
  kCmdUnknown = -1,
  kCmdGetConfig = 1,
  kCmdSaveSettings = 2,
  kCmdLoadSettings = 3,
  kCmdMessageBox = 4,
  kCmdOpenIE = 5,
  kCmdGetData = 6,
  kCmdIsKeyConnect = 7,
  kCmdDoCheck = 8,
  kCmdDoFix = 9,
  kCmdDoInstall = 10,
  kCmdGetVersion = 11,
  kCmdDebugPrint = 12,
  kCmdDelayMs = 13,
  kCmdCallJs = 14,
  kCmdDoExtraStartup = 15,
  kCmdCheckUpdate = 16,
  kCmdUpdateKeyInfo = 17,
  kCmdRestartApp = 18,
  kCmdHttpPost = 19,
  kCmdStartWithBoot = 21,
  kCmdSetLog = 22,
  kCmdGetSMInfo = 23,
  kCmdMiniSize = 24,
  kCmdQuit = 25,
};

// Map from exact (case-sensitive) command name to number, filled once when the
// application object is constructed and never changed afterwards.
class ScriptCommandTable {
 public:
  ScriptCommandTable();

  // A number (VT_I4) is the command number itself; a string is looked up and
  // an unknown one gives -1; any other type gives -1. A null name gives -1.
  int Lookup(const VARIANT* name) const;
  // Name lookup alone; -1 when unknown.
  int LookupName(const std::wstring& name) const;
  const std::map<std::wstring, int>& entries() const { return names_; }

 private:
  std::map<std::wstring, int> names_;
};

// True for the numbers that name a command: 1 to 19 and 21 to 25.
bool IsKnownCommandNumber(int number);

// One script call as a command body sees it. The variants are read-only and
// never null (missing arguments are VT_EMPTY); `dialog` is the dialog whose
// page made the call and may be null in tests.
struct ScriptCall {
  UI::IBSDialog* dialog;
  const VARIANT* a1;
  const VARIANT* a2;
  const VARIANT* a3;
  const VARIANT* a4;
};

// A command body: returns the script value the page receives (VT_EMPTY when
// the command has no result or rejected its arguments). The caller owns it.
using ScriptCommandFunction = VARIANT (*)(const ScriptCall& call);

// ---- Value conventions ---------------------------------------------------

inline bool IsString(const VARIANT* v) { return v && V_VT(v) == VT_BSTR; }
inline bool IsNumber(const VARIANT* v) { return v && V_VT(v) == VT_I4; }
inline bool IsBoolean(const VARIANT* v) { return v && V_VT(v) == VT_BOOL; }

// The text of a VT_BSTR argument; a null BSTR counts as empty. Other types
// give the empty string.
std::wstring StringValue(const VARIANT* v);
// For arguments read "without a type check": strings as they are, other
// types coerced to text (VariantChangeType), empty when that fails.
std::wstring StringValueLoose(const VARIANT* v);
// For arguments read "as a number without a type check": VT_I4 as it is,
// other types coerced to a 32-bit integer, 0 when that fails.
LONG NumberValueLoose(const VARIANT* v);

// Result makers. A string result that cannot be allocated stays VT_EMPTY.
VARIANT EmptyValue();
VARIANT StringResult(const std::wstring& text);
VARIANT NumberResult(LONG value);
VARIANT BooleanResult(VARIANT_BOOL value);

// ---- Error boxes ---------------------------------------------------------

// Heading of every argument error box.
inline constexpr wchar_t kErrorHeading[] = L"错误";

// Shows the argument error box of a command: `text`, heading "错误", the
// program's title, kind 5 (error), no owner. Modal on the calling thread.
void ShowCommandError(const wchar_t* text);

}  // namespace Zentrava::App
