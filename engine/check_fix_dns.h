// Type "dns": name resolution of a bank host must give only addresses from
// the entry's list ("ip", separated by "|"). Check only; with a proxy in the
// browser settings local resolution proves nothing and the check gives -1.
#pragma once

#include <string>
#include <vector>

#include "engine/check_fix.h"

namespace Zentrava {
namespace Assistant {

class CheckFixDns : public ICheckFix {
 public:
  int32_t Check(ConfigEntry& entry) override;
  int32_t Fix(ConfigEntry&) override { return ResultUnsupported; }
};

// The IPv4 addresses `host` resolves to, dotted-decimal, in the resolver's
// order: gethostbyname for names, gethostbyaddr for addresses, and the DNS
// client's A record when neither answers. Empty when nothing resolves.
std::vector<std::string> ResolveHostAddresses(const std::string& host);

// Splits the "ip" attribute at every "|"; a final empty piece is dropped.
std::vector<std::string> SplitAcceptedAddresses(const std::string& list);

// The resolver and proxy probe the check uses; tests stand in their own
// (null restores the real ones).
using HostResolver = std::vector<std::string> (*)(const std::string& host);
using ProxyProbe = bool (*)();
void SetHostResolver(HostResolver resolver);
void SetProxyProbe(ProxyProbe probe);

}  // namespace Assistant
}  // namespace Zentrava
