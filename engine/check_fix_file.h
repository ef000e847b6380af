// Type "file": a file must exist and may have to carry a given version or
// digest. The fix downloads it from the bank's server beside its target and
// puts it in place.
#pragma once

#include "engine/check_fix.h"

namespace Zentrava {
namespace Assistant {

class CheckFixFile : public ICheckFix {
 public:
  int32_t Check(ConfigEntry& entry) override;
  int32_t Fix(ConfigEntry& entry) override;
};

}  // namespace Assistant
}  // namespace Zentrava
