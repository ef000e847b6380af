// The message boxes the script commands show, behind one replaceable sink so
// that tests can record them instead of waiting for a user; and the program's
// own string resources (string 102 is the title of every box).
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava::App {

// One box as the commands ask for it. `kind` is a UI::MessageKind value.
struct AppMessage {
  std::wstring text;
  std::wstring heading;
  std::wstring title;
  int kind;
  HWND owner;
};

// Shows a message (UI::ShowMessage by default); returns the button chosen.
int ShowAppMessage(const wchar_t* text, const wchar_t* heading, const wchar_t* title, int kind,
                   HWND owner);

// Replaces the default box; returns the previous sink. Null restores it.
using AppMessageSink = int (*)(const AppMessage& message);
AppMessageSink SetAppMessageSinkForTesting(AppMessageSink sink);

// A string resource of the program file; empty when it cannot be loaded.
std::wstring LoadProgramString(UINT id);

// String 102, the product title.
std::wstring ProgramTitle();

}  // namespace Zentrava::App
