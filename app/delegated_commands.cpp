// Commands whose work belongs to the configuration engine, the network code,
// the system inspection and the start-at-logon tools. Each body checks the
// arguments the way the page protocol fixes them and hands the work on; a
// body whose owning code is not connected yet answers as for rejected
// arguments.
#include "app/app_commands.h"
#include "engine/config_commands.h"
#include "net/http_post_command.h"
#include "tools/launch_process.h"

namespace Zentrava::App {

VARIANT CmdGetConfig(const ScriptCall&) {
  // A failed load has shown its message and ended the program already.
  Assistant::RunGetConfig();
  return EmptyValue();
}

VARIANT CmdOpenIE(const ScriptCall& call) {
  if (IsString(call.a1)) Tools::ShellOpenIE(StringValue(call.a1));
  return EmptyValue();
}

VARIANT CmdGetData(const ScriptCall& call) {
  if (!IsString(call.a1)) return EmptyValue();
  return StringResult(Assistant::RunGetData(StringValue(call.a1)));
}

VARIANT CmdDoCheck(const ScriptCall&) { return EmptyValue(); }

VARIANT CmdDoFix(const ScriptCall&) { return EmptyValue(); }

VARIANT CmdDoInstall(const ScriptCall&) { return EmptyValue(); }

VARIANT CmdGetVersion(const ScriptCall&) { return EmptyValue(); }

VARIANT CmdCheckUpdate(const ScriptCall&) { return EmptyValue(); }

// The result is a string from the start: a rejected call answers "".
VARIANT CmdHttpPost(const ScriptCall& call) {
  VARIANT result = EmptyValue();
  Network::HttpPostCommand(*call.a1, &result);
  return result;
}

VARIANT CmdStartWithBoot(const ScriptCall&) { return EmptyValue(); }

}  // namespace Zentrava::App
