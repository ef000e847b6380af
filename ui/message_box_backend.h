// The two system calls behind ShowMessage and ShowChoice. The program uses
// the system's (TaskDialogIndirect looked up at run time, since Windows XP
// has none); tests put recorders in their place.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace Zentrava::UI {

typedef HRESULT(WINAPI* TaskDialogIndirectFunction)(const TASKDIALOGCONFIG* config, int* button,
                                                    int* radioButton, BOOL* verificationFlag);
typedef int(WINAPI* MessageBoxFunction)(HWND owner, LPCWSTR text, LPCWSTR title, UINT type);

struct MessageBoxBackend {
  TaskDialogIndirectFunction taskDialogIndirect;  // null: the system has no task dialogs
  MessageBoxFunction messageBox;
};

// The system's functions: TaskDialogIndirect from the loaded comctl32 when it
// exports one, and MessageBoxW.
MessageBoxBackend SystemMessageBoxBackend();

// Replaces the backend for the whole process; null restores the system's.
void SetMessageBoxBackendForTesting(const MessageBoxBackend* backend);

}  // namespace Zentrava::UI
