#include "app/app_messages.h"

#include "resources/resource.h"
#include "ui/bs_dialog.h"

namespace Zentrava::App {

namespace {

int ShowWithDialogBox(const AppMessage& m) {
  return UI::ShowMessage(m.text.c_str(), m.heading.empty() ? nullptr : m.heading.c_str(),
                         m.title.c_str(), static_cast<UI::MessageKind>(m.kind), m.owner);
}

// Replaced only by tests, before any command runs.
AppMessageSink g_sink = ShowWithDialogBox;

}  // namespace

int ShowAppMessage(const wchar_t* text, const wchar_t* heading, const wchar_t* title, int kind,
                   HWND owner) {
  AppMessage message{text ? text : L"", heading ? heading : L"", title ? title : L"", kind, owner};
  return g_sink(message);
}

AppMessageSink SetAppMessageSinkForTesting(AppMessageSink sink) {
  AppMessageSink previous = g_sink;
  g_sink = sink ? sink : ShowWithDialogBox;
  return previous;
}

std::wstring LoadProgramString(UINT id) {
  // With a zero length LoadStringW hands out a read-only pointer to the
  // resource text itself, so texts of any length come back whole.
  const wchar_t* text = nullptr;
  int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || !text) return std::wstring();
  return std::wstring(text, static_cast<size_t>(length));
}

std::wstring ProgramTitle() { return LoadProgramString(IDS_APP_TITLE); }

}  // namespace Zentrava::App
