// Where a page's request for a new window with a URL goes: the dialog never
// opens one itself, it hands the URL to the opener set here (the program
// sets one that opens Internet Explorer as the desktop user).
#pragma once

#include <windows.h>

namespace Zentrava::UI {

typedef HRESULT (*NewWindowOpener)(LPCWSTR url);

// Sets the opener (null: such requests are only cancelled); returns the old one.
NewWindowOpener SetNewWindowOpener(NewWindowOpener opener);
NewWindowOpener GetNewWindowOpener();

}  // namespace Zentrava::UI
