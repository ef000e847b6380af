// The bodies of the script commands, one small function each, named after
// the command. The dispatcher picks them by number; see app/script_commands.h
// for the value conventions they follow.
#pragma once

#include <string>

#include "app/script_commands.h"

namespace Zentrava::App {

// Done here (app/core_commands.cpp).
VARIANT CmdSaveSettings(const ScriptCall& call);
VARIANT CmdLoadSettings(const ScriptCall& call);
VARIANT CmdMessageBox(const ScriptCall& call);
VARIANT CmdDebugPrint(const ScriptCall& call);
VARIANT CmdDelayMs(const ScriptCall& call);
VARIANT CmdCallJs(const ScriptCall& call);
VARIANT CmdDoExtraStartup(const ScriptCall& call);
VARIANT CmdRestartApp(const ScriptCall& call);
VARIANT CmdSetLog(const ScriptCall& call);
VARIANT CmdMiniSize(const ScriptCall& call);
VARIANT CmdQuit(const ScriptCall& call);

// USB keys and their certificates (app/key_commands.cpp).
VARIANT CmdIsKeyConnect(const ScriptCall& call);
VARIANT CmdUpdateKeyInfo(const ScriptCall& call);
VARIANT CmdGetSMInfo(const ScriptCall& call);

// Work that lives in the engine, network, inspection and tools folders
// (app/delegated_commands.cpp).
VARIANT CmdGetConfig(const ScriptCall& call);
VARIANT CmdOpenIE(const ScriptCall& call);
VARIANT CmdGetData(const ScriptCall& call);
VARIANT CmdDoCheck(const ScriptCall& call);
VARIANT CmdDoFix(const ScriptCall& call);
VARIANT CmdDoInstall(const ScriptCall& call);
VARIANT CmdGetVersion(const ScriptCall& call);
VARIANT CmdCheckUpdate(const ScriptCall& call);
VARIANT CmdHttpPost(const ScriptCall& call);
VARIANT CmdStartWithBoot(const ScriptCall& call);

// What do_extra_startup answers for a command line: its one argument when
// there is exactly one, else "Normal".
std::wstring ExtraStartupArgument(const wchar_t* commandLine);

// Error texts of the commands that check their arguments.
inline constexpr wchar_t kSaveSettingsKeyError[] = L"save_settings第2个参数应该为String类型！";
inline constexpr wchar_t kSaveSettingsValueError[] = L"save_settings第3个参数使用了不支持的类型！";
inline constexpr wchar_t kLoadSettingsKeyError[] = L"load_settings第2个参数应该为String类型！";
inline constexpr wchar_t kLoadSettingsValueError[] = L"load_settings第3个参数使用了不支持的类型！";
inline constexpr wchar_t kUpdateKeyInfoError[] = L"update_key_info第2个参数应该为int类型！";
inline constexpr wchar_t kGetConfigError[] = L"获取配置失败，请检查您的网络。";

}  // namespace Zentrava::App
