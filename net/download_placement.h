// Where component downloads land, how a downloaded file takes the place of
// one that may be in use (the running program included), and the progress
// callbacks that carry download progress to the page's "setProgress".
#pragma once

#include <windows.h>

#include <string>

#include "net/download_notify.h"

namespace Zentrava {
namespace Network {

// The local file a download of `url` is written to: the "Download" folder
// beside the program (created when missing) while option 1004 is on,
// otherwise the temporary folder, plus the URL's last "/" segment. The name
// always stays inside that folder: characters that would leave it or that
// file names cannot hold become "_", a query or fragment is dropped, and a
// name that is nothing but dots or is empty gives the empty path (as does a
// null url or a path that would not fit in MAX_PATH).
std::wstring DownloadPath(const wchar_t* url);

// The file-name part of DownloadPath: the safe form of the URL's last
// segment, or empty when there is none.
std::wstring DownloadFileName(const std::wstring& url);

// Puts `source` in the place of `target`. A target in use is moved aside to
// target + ".old" (deleted at the next reboot); when it cannot even be moved,
// the replacement is scheduled for the next reboot and the result is S_FALSE.
// E_FAIL when source does not exist; otherwise S_OK or the move's error.
HRESULT MoveIntoPlace(const std::wstring& source, const std::wstring& target);

// Progress callbacks. UpdateProgress reports the program's own update (index
// -1); InstallProgress reports with the current item index. Both thin the
// reports to steps of at least 2 percent; 0 (unless it repeats the last
// report exactly), the first 100 and every failure always get through. The
// reports go to the page function "setProgress" (percent, index, ok) of the
// main dialog; without a dialog they are dropped. Both always return true.
bool UpdateProgress(const DownloadProgress* record);
bool InstallProgress(const DownloadProgress* record);

// The item an install run works on; -1 (the start value) is the program's
// own update. Set by do_fix and do_install, and to -1 by check_update.
void SetCurrentItemIndex(int index);
int CurrentItemIndex();

// Back to the start state: both last percentages 0, item index -1.
void ResetProgressMemory();

}  // namespace Network
}  // namespace Zentrava
