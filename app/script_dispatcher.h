// The application's script callback: every page call ends here, is turned
// into a command number through the command table and runs that command's
// body function.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "app/script_commands.h"

namespace Zentrava::App {

// The command table, built during static initialisation.
const ScriptCommandTable& CommandTable();

// The body of a command number; null for numbers that name no command.
ScriptCommandFunction CommandFunctionFor(int number);

// The dialog's ScriptCallback. Re-entrant; runs on whatever thread the call
// came in on. Unknown names and numbers (also "ui_notify") give VT_EMPTY.
VARIANT OnScriptCall(UI::IBSDialog* dialog, const VARIANT* name, const VARIANT* a1,
                     const VARIANT* a2, const VARIANT* a3, const VARIANT* a4);

}  // namespace Zentrava::App
