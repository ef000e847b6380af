// Type "url": a bank URL must be reachable (a forced connection to it
// succeeds). Check only. Also the test whether the browser settings name a
// proxy, which makes local name resolution meaningless.
#pragma once

#include "engine/check_fix.h"

namespace Zentrava {
namespace Assistant {

class CheckFixUrl : public ICheckFix {
 public:
  int32_t Check(ConfigEntry& entry) override;
  int32_t Fix(ConfigEntry&) override { return ResultUnsupported; }
};

// True when the default connection's settings use a proxy server or a proxy
// auto-configuration script.
bool IsProxyConfigured();

}  // namespace Assistant
}  // namespace Zentrava
