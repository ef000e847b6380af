// Type "host": the Windows hosts file must not map a bank host name to any
// address. The check run loads the file; the fix run removes the offending
// lines from that text and writes the file back in one step.
#pragma once

#include <windows.h>

#include <string>

#include "engine/check_fix.h"
#include "engine/hosts_text.h"

namespace Zentrava {
namespace Assistant {

class CheckFixHost : public ICheckFix {
 public:
  // The system's hosts file.
  CheckFixHost();
  // A hosts file elsewhere (environment variables are expanded).
  explicit CheckFixHost(std::wstring pathTemplate);

  int32_t BeginCheck() override;
  int32_t Check(ConfigEntry& entry) override;
  int32_t BeginFix() override;
  int32_t Fix(ConfigEntry& entry) override;
  int32_t EndFix() override;

  // The state of the last load, for callers that look (and tests).
  const std::string& hostsText() const { return hostsText_.text(); }
  bool usesCrLf() const { return usesCrLf_; }
  bool loaded() const { return loaded_; }

  // The expanded path of the file.
  std::wstring HostsPath() const;

 private:
  HRESULT Load();
  HRESULT Store() const;

  std::wstring pathTemplate_;
  HostsText hostsText_;
  bool usesCrLf_ = false;
  bool loaded_ = false;
};

// Writes `bytes` to `path` so that the file holds either its old or its new
// contents at every moment: the new text goes to a file beside it, which then
// takes the old file's place, keeping its attributes and security.
HRESULT ReplaceFileContents(const std::wstring& path, const std::string& bytes);

}  // namespace Assistant
}  // namespace Zentrava
