// Type "clsid": a COM class must be registered as an in-process server whose
// file passes the file test, and a browser add-on must not be switched off by
// the user. The fix can only switch a disabled add-on back on.
#pragma once

#include "engine/check_fix.h"

namespace Zentrava {
namespace Assistant {

class CheckFixCOM : public ICheckFix {
 public:
  int32_t Check(ConfigEntry& entry) override;
  int32_t Fix(ConfigEntry& entry) override;
};

}  // namespace Assistant
}  // namespace Zentrava
