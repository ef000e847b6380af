// ShowMessage and ShowChoice. Texts given as resource numbers are loaded
// here, so that both forms (task dialog and message box) show the same text.
// When a task dialog cannot be shown at all (an old comctl32 without a
// manifest, no memory) the message box is shown instead: a failure must not
// come back as if a button had been chosen.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/bs_dialog.h"
#include "ui/message_box_backend.h"
#include "ui/resource_module.h"

namespace Zentrava::UI {
namespace {

MessageBoxBackend* g_testBackend = nullptr;
MessageBoxBackend g_testBackendStorage;

MessageBoxBackend CurrentBackend() {
  return g_testBackend ? *g_testBackend : SystemMessageBoxBackend();
}

// The text itself, a string resource's text, or empty.
std::wstring ResolveText(LPCWSTR text) {
  if (text == nullptr) return std::wstring();
  if (!IS_INTRESOURCE(text)) return text;
  const wchar_t* resource = nullptr;
  int length = LoadStringW(ResourceModule(), static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text)),
                           reinterpret_cast<LPWSTR>(&resource), 0);
  if (length <= 0 || resource == nullptr) return std::wstring();
  return std::wstring(resource, static_cast<size_t>(length));
}

LPCWSTR OrNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

HWND ResolveOwner(HWND owner) { return owner ? owner : GetActiveWindow(); }

PCWSTR TaskDialogIcon(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information:
      return TD_INFORMATION_ICON;
    case MessageKind::Warning:
      return TD_WARNING_ICON;
    case MessageKind::Shield:
      return TD_SHIELD_ICON;
    case MessageKind::Error:
      return TD_ERROR_ICON;
    default:
      return nullptr;
  }
}

UINT MessageBoxIcon(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information:
      return MB_ICONINFORMATION;
    case MessageKind::Warning:
      return MB_ICONWARNING;
    case MessageKind::Question:
      return MB_ICONQUESTION;
    case MessageKind::Error:
      return MB_ICONERROR;
    default:
      return 0;
  }
}

TASKDIALOGCONFIG BaseConfig(HWND owner, const std::wstring& text, const std::wstring& heading,
                            const std::wstring& title) {
  TASKDIALOGCONFIG config = {};
  config.cbSize = sizeof(config);
  config.hwndParent = owner;
  config.hInstance = ResourceModule();
  config.dwFlags = TDF_ENABLE_HYPERLINKS | TDF_USE_COMMAND_LINKS | TDF_EXPAND_FOOTER_AREA;
  config.dwCommonButtons = 0;
  config.pszWindowTitle = OrNull(title);
  config.pszMainInstruction = OrNull(heading);
  config.pszContent = OrNull(text);
  return config;
}

// Shows the task dialog; false when it could not be shown.
bool RunTaskDialog(const MessageBoxBackend& backend, const TASKDIALOGCONFIG& config, int* button) {
  if (backend.taskDialogIndirect == nullptr) return false;
  int chosen = 0;
  if (FAILED(backend.taskDialogIndirect(&config, &chosen, nullptr, nullptr))) return false;
  *button = chosen;
  return true;
}

}  // namespace

MessageBoxBackend SystemMessageBoxBackend() {
  MessageBoxBackend backend = {nullptr, &MessageBoxW};
  HMODULE comctl = GetModuleHandleW(L"comctl32.dll");
  if (comctl == nullptr) comctl = LoadLibraryW(L"comctl32.dll");
  if (comctl != nullptr)
    backend.taskDialogIndirect = reinterpret_cast<TaskDialogIndirectFunction>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "TaskDialogIndirect")));
  return backend;
}

void SetMessageBoxBackendForTesting(const MessageBoxBackend* backend) {
  if (backend == nullptr) {
    g_testBackend = nullptr;
    return;
  }
  g_testBackendStorage = *backend;
  g_testBackend = &g_testBackendStorage;
}

int ShowMessage(LPCWSTR text, LPCWSTR heading, LPCWSTR title, MessageKind kind, HWND owner) {
  const MessageBoxBackend backend = CurrentBackend();
  const std::wstring body = ResolveText(text), head = ResolveText(heading),
                     caption = ResolveText(title);
  owner = ResolveOwner(owner);

  TASKDIALOGCONFIG config = BaseConfig(owner, body, head, caption);
  config.pszMainIcon = TaskDialogIcon(kind);
  int button = 0;
  if (RunTaskDialog(backend, config, &button)) return button;
  return backend.messageBox(owner, body.c_str(), caption.c_str(), MessageBoxIcon(kind));
}

int ShowChoice(LPCWSTR text, LPCWSTR heading, LPCWSTR title, LPCWSTR firstChoice,
               LPCWSTR secondChoice, HWND owner) {
  const MessageBoxBackend backend = CurrentBackend();
  const std::wstring body = ResolveText(text), head = ResolveText(heading),
                     caption = ResolveText(title), first = ResolveText(firstChoice),
                     second = ResolveText(secondChoice);
  owner = ResolveOwner(owner);

  TASKDIALOG_BUTTON buttons[] = {{IDYES, first.c_str()}, {IDNO, second.c_str()}};
  TASKDIALOGCONFIG config = BaseConfig(owner, body, head, caption);
  config.pButtons = buttons;
  config.cButtons = ARRAYSIZE(buttons);
  config.nDefaultButton = IDYES;
  int button = 0;
  if (RunTaskDialog(backend, config, &button)) return button == IDYES ? IDYES : IDNO;
  return backend.messageBox(owner, body.c_str(), caption.c_str(), MB_YESNO) == IDYES ? IDYES : IDNO;
}

}  // namespace Zentrava::UI
