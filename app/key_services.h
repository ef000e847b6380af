// What the key commands (is_key_connect, update_key_info, Get_SM_info) need
// from the USB key code: whether a key is plugged in and what certificate it
// carries. The program installs the real services at start-up; tests install
// their own. Until then no key is ever present and no certificate is found.
#pragma once

#include <windows.h>

#include <string>

namespace Zentrava::App {

struct KeyServices {
  // True when a USB device with this id is present: vendor id in the upper
  // 16 bits, product id in the lower 16 bits.
  bool (*isKeyPresent)(unsigned long vendorAndProduct) = nullptr;
  // The certificate summary of the key behind the cryptographic provider:
  // serial number, issuer, subject and validity joined by ";"; empty when
  // nothing was found.
  std::wstring (*certificateSummary)(const std::wstring& providerName) = nullptr;
};

// Installs the services; call before the page can issue key commands.
void SetKeyServices(const KeyServices& services);

// Waits one second, reads the certificate summary for `providerName` and
// publishes its four fields for key `index` through "setKeyInfo" ("sn",
// "issuer", "subject", "date"), then calls "is_can_Open_update". A summary of
// any other shape publishes four empty fields and nothing else.
void RunKeyCertificateUpdate(const std::wstring& providerName, UINT index);

// Splits "a|b" into the two key ids: `first` is empty when there is no "|".
void SplitKeyIds(const std::wstring& ids, std::wstring* first, std::wstring* second);

// A key id as the page writes it: hexadecimal, optional "0x", parsing stops at
// the first other character; nothing parsable gives 0.
unsigned long ParseKeyId(const std::wstring& id);

}  // namespace Zentrava::App
