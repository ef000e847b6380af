// Type "service": a Windows service must be running; the fix starts it and
// waits, bounded by the service's own wait hints.
#pragma once

#include <windows.h>

#include "engine/check_fix.h"

namespace Zentrava {
namespace Assistant {

class CheckFixService : public ICheckFix {
 public:
  int32_t Check(ConfigEntry& entry) override;
  int32_t Fix(ConfigEntry& entry) override;
};

// Starts a stopped (or stopping) service and waits until it runs. S_FALSE
// when it was running or starting already; S_OK when it runs; E_FAIL when it
// did not come up; the platform's error otherwise. The handle needs
// SERVICE_QUERY_STATUS and SERVICE_START.
HRESULT StartServiceAndWait(SC_HANDLE service);

}  // namespace Assistant
}  // namespace Zentrava
