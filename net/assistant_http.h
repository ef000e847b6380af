// The program's one HTTP agent, g_assistantHttp: the base agent plus a switch
// that makes requests accept servers with certificate errors.
//
// Callers that download for the configuration's items use FetchText and
// FetchFile, which set the switch from option 1001 of AppOptions and run the
// request under one hold of the agent, so that requests from different
// threads never mix their settings.
#pragma once

#include <string>

#include "net/download_notify.h"
#include "net/win_http_agent.h"

namespace Zentrava {
namespace Network {

class AssistantHttp : public CWinHttpAgent {
 public:
  AssistantHttp() = default;

  // Adds the ignore flags for unknown authority, wrong usage, wrong name and
  // wrong date when the switch is on.
  void OnBeforeSend(HttpHandle request) override;

  void SetIgnoreCertErrors(bool ignore) { ignoreCertErrors_ = ignore; }
  bool ignoreCertErrors() const { return ignoreCertErrors_; }

  // The configuration fetch: switch from option 1001, then GetText(url, "").
  HRESULT FetchText(const std::wstring& url, std::string* body);
  // The component download: switch from option 1001, then Download.
  HRESULT FetchFile(const std::wstring& url, const std::wstring& filePath,
                    const DownloadNotify* notify);

 private:
  bool ignoreCertErrors_ = false;
};

// Created before the application object starts, destroyed at process exit.
extern AssistantHttp g_assistantHttp;

// Option 1001 of AppOptions: whether the agent ignores certificate errors.
bool IgnoreCertErrorsOption();

}  // namespace Network
}  // namespace Zentrava
