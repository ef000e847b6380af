// The module the dialog's page and the message boxes' string resources are
// loaded from: the program itself unless a dialog names another one.
#pragma once

#include <windows.h>

namespace Zentrava::UI {

HMODULE ResourceModule();
void SetResourceModule(HMODULE module);

}  // namespace Zentrava::UI
