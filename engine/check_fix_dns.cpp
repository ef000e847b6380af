// Winsock before <windows.h>: the old winsock.h must not be pulled in first.
#include <winsock2.h>
#include <windns.h>

#include "engine/check_fix_dns.h"

#include <cctype>

#include "engine/check_fix_url.h"

namespace Zentrava {
namespace Assistant {

namespace {

HostResolver g_resolver = nullptr;
ProxyProbe g_proxyProbe = nullptr;

// Winsock must be started on whatever thread resolves; the count is
// per process, so a pair around each use is enough.
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;

 private:
  bool started_;
};

bool HasAlpha(const std::string& text) {
  for (char c : text) {
    if (isalpha(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

std::vector<std::string> AddressesOf(const hostent* entry) {
  std::vector<std::string> addresses;
  if (entry->h_addrtype != AF_INET) return addresses;
  for (char** address = entry->h_addr_list; address && *address; ++address) {
    in_addr value;
    memcpy(&value, *address, sizeof(value));
    addresses.push_back(inet_ntoa(value));
  }
  return addresses;
}

std::vector<std::string> QueryDnsClient(const std::string& host) {
  std::vector<std::string> addresses;
  PDNS_RECORD records = nullptr;
  if (DnsQuery_A(host.c_str(), DNS_TYPE_A, DNS_QUERY_STANDARD, nullptr, &records, nullptr) != 0)
    return addresses;
  for (PDNS_RECORD record = records; record; record = record->pNext) {
    if (record->wType != DNS_TYPE_A) continue;
    in_addr value;
    value.s_addr = record->Data.A.IpAddress;
    addresses.push_back(inet_ntoa(value));
    break;
  }
  DnsRecordListFree(records, DnsFreeRecordList);
  return addresses;
}

}  // namespace

std::vector<std::string> ResolveHostAddresses(const std::string& host) {
  WinsockSession winsock;
  const hostent* entry = nullptr;
  if (HasAlpha(host)) {
    entry = gethostbyname(host.c_str());
  } else {
    unsigned long address = inet_addr(host.c_str());
    if (address != INADDR_NONE)
      entry = gethostbyaddr(reinterpret_cast<const char*>(&address), sizeof(address), AF_INET);
  }
  if (entry) return AddressesOf(entry);
  return QueryDnsClient(host);
}

std::vector<std::string> SplitAcceptedAddresses(const std::string& list) {
  std::vector<std::string> pieces;
  size_t pos = 0;
  for (size_t bar; (bar = list.find('|', pos)) != std::string::npos; pos = bar + 1)
    pieces.push_back(list.substr(pos, bar - pos));
  if (pos < list.size()) pieces.push_back(list.substr(pos));
  return pieces;
}

void SetHostResolver(HostResolver resolver) { g_resolver = resolver; }
void SetProxyProbe(ProxyProbe probe) { g_proxyProbe = probe; }

int32_t CheckFixDns::Check(ConfigEntry& entry) {
  if (g_proxyProbe ? g_proxyProbe() : IsProxyConfigured()) return ResultUnsupported;
  std::vector<std::string> accepted = SplitAcceptedAddresses(entry.attributes.Get("ip"));
  std::vector<std::string> resolved =
      g_resolver ? g_resolver(entry.text) : ResolveHostAddresses(entry.text);
  if (resolved.empty()) return ResultFail;
  for (const std::string& address : resolved) {
    bool listed = false;
    for (const std::string& ok : accepted) listed = listed || ok == address;
    if (!listed) return ResultFail;
  }
  return ResultPass;
}

}  // namespace Assistant
}  // namespace Zentrava
