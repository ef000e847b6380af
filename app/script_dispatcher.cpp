#include "app/script_dispatcher.h"

#include "app/app_commands.h"

namespace Zentrava::App {

namespace {

const ScriptCommandTable g_commandTable;

struct NumberedBody {
  ScriptCommand number;
  ScriptCommandFunction body;
};

constexpr NumberedBody kBodies[] = {
    {kCmdGetConfig, CmdGetConfig},
    {kCmdSaveSettings, CmdSaveSettings},
    {kCmdLoadSettings, CmdLoadSettings},
    {kCmdMessageBox, CmdMessageBox},
    {kCmdOpenIE, CmdOpenIE},
    {kCmdGetData, CmdGetData},
    {kCmdIsKeyConnect, CmdIsKeyConnect},
    {kCmdDoCheck, CmdDoCheck},
    {kCmdDoFix, CmdDoFix},
    {kCmdDoInstall, CmdDoInstall},
    {kCmdGetVersion, CmdGetVersion},
    {kCmdDebugPrint, CmdDebugPrint},
    {kCmdDelayMs, CmdDelayMs},
    {kCmdCallJs, CmdCallJs},
    {kCmdDoExtraStartup, CmdDoExtraStartup},
    {kCmdCheckUpdate, CmdCheckUpdate},
    {kCmdUpdateKeyInfo, CmdUpdateKeyInfo},
    {kCmdRestartApp, CmdRestartApp},
    {kCmdHttpPost, CmdHttpPost},
    {kCmdStartWithBoot, CmdStartWithBoot},
    {kCmdSetLog, CmdSetLog},
    {kCmdGetSMInfo, CmdGetSMInfo},
    {kCmdMiniSize, CmdMiniSize},
    {kCmdQuit, CmdQuit},
};

// Missing arguments arrive as null from callers other than the page; the
// bodies always see a variant.
const VARIANT* OrEmpty(const VARIANT* v) {
  static const VARIANT empty = {};  // VT_EMPTY is all zero
  return v ? v : &empty;
}

}  // namespace

const ScriptCommandTable& CommandTable() { return g_commandTable; }

ScriptCommandFunction CommandFunctionFor(int number) {
  if (!IsKnownCommandNumber(number)) return nullptr;
  for (const NumberedBody& b : kBodies) {
    if (b.number == number) return b.body;
  }
  return nullptr;
}

VARIANT OnScriptCall(UI::IBSDialog* dialog, const VARIANT* name, const VARIANT* a1,
                     const VARIANT* a2, const VARIANT* a3, const VARIANT* a4) {
  ScriptCommandFunction body = CommandFunctionFor(CommandTable().Lookup(name));
  if (!body) return EmptyValue();
  ScriptCall call{dialog, OrEmpty(a1), OrEmpty(a2), OrEmpty(a3), OrEmpty(a4)};
  return body(call);
}

}  // namespace Zentrava::App
