// Whether this (32-bit) program runs on 64-bit Windows, and the switch for
// WOW64 file-system redirection. The functions are looked up at run time
// because Windows XP before SP2 (and every 32-bit edition) lacks some of them.
#pragma once

namespace Zentrava {

// True when the current process runs under WOW64. False when the platform
// has no IsWow64Process or the process is native.
bool IsWow64();

// Turns WOW64 file-system redirection off for the calling thread and keeps
// the platform's saved value in one process-wide slot. Returns the platform's
// success flag; false without doing anything when not under WOW64.
// A disable and its revert must not interleave with another thread's pair.
bool DisableFsRedirection();

// Hands the saved value back to the platform, turning redirection on again
// for the calling thread. Same result rules as DisableFsRedirection.
bool RevertFsRedirection();

}  // namespace Zentrava
