#include "engine/check_fix.h"

#include "engine/check_fix_com.h"
#include "engine/check_fix_dns.h"
#include "engine/check_fix_file.h"
#include "engine/check_fix_host.h"
#include "engine/check_fix_registry.h"
#include "engine/check_fix_service.h"
#include "engine/check_fix_url.h"
#include "support/wow64.h"

namespace Zentrava {
namespace Assistant {

namespace {

template <typename T>
std::unique_ptr<ICheckFix> Make() {
  return std::unique_ptr<ICheckFix>(new T());
}

// Every type name the configuration may use. A name whose class is not part
// of this build has no creator; it is looked up like an unknown name (the
// type runs give 0, detection gives -5) until its class is installed.
struct TypeClass {
  const char* name;
  std::unique_ptr<ICheckFix> (*create)();
};
const TypeClass kTypeClasses[] = {
    {"registry", &Make<CheckFixRegistry>},
    {"clsid", &Make<CheckFixCOM>},
    {"file", &Make<CheckFixFile>},
    {"service", &Make<CheckFixService>},
    {"host", &Make<CheckFixHost>},
    {"dns", &Make<CheckFixDns>},
    {"url", &Make<CheckFixUrl>},
    {"trust", nullptr},
    {"iehomepage", nullptr},
    {"compatibility", nullptr},
    {"cfca", nullptr},
    {"install", nullptr},
    {"uninstall", nullptr},
};

WORD RealNativeArchitecture() {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture;
}

NativeArchitectureProbe g_architectureProbe = nullptr;

}  // namespace

CheckFixFactory::CheckFixFactory() {
  for (const TypeClass& type : kTypeClasses) {
    if (type.create) instances_[type.name] = type.create();
  }
}

CheckFixFactory& CheckFixFactory::Instance() {
  // Built on first use, destroyed with the other statics at exit; each
  // instance goes through its virtual destructor.
  static CheckFixFactory factory;
  return factory;
}

ICheckFix* CheckFixFactory::Find(const std::string& typeName) const {
  auto it = instances_.find(typeName);
  return it == instances_.end() ? nullptr : it->second.get();
}

std::unique_ptr<ICheckFix> CheckFixFactory::Install(const std::string& typeName,
                                                    std::unique_ptr<ICheckFix> instance) {
  std::unique_ptr<ICheckFix> previous;
  auto it = instances_.find(typeName);
  if (it != instances_.end()) {
    previous = std::move(it->second);
    instances_.erase(it);
  }
  if (instance) instances_[typeName] = std::move(instance);
  return previous;
}

std::vector<std::string> CheckFixFactory::TypeNames() const {
  std::vector<std::string> names;
  for (const auto& entry : instances_) names.push_back(entry.first);
  return names;
}

ICheckFix* GetCheckFix(const std::string& typeName) {
  return CheckFixFactory::Instance().Find(typeName);
}

int32_t RunCheckOver(ICheckFix& checkFix, std::vector<ConfigEntry>& entries,
                     bool stopAtFirstFailure) {
  int32_t begin = checkFix.BeginCheck();
  if (begin != ResultPass) return begin;
  for (ConfigEntry& entry : entries) entry.state = ResultNotRun;

  bool anyDiffers = false;
  int32_t result = ResultPass;
  for (ConfigEntry& entry : entries) {
    int32_t state = checkFix.Check(entry);
    entry.state = state;
    if (state == ResultDiffers) {
      anyDiffers = true;
    } else if (state != ResultPass) {
      if (stopAtFirstFailure) return state;
      result = state;
    }
  }
  if (result != ResultPass) return result;

  int32_t end = checkFix.EndCheck();
  if (end != ResultPass) return end;
  return anyDiffers ? ResultDiffers : ResultPass;
}

int32_t RunFixOver(ICheckFix& checkFix, std::vector<ConfigEntry>& entries) {
  int32_t begin = checkFix.BeginFix();
  if (begin != ResultPass) return begin;
  for (ConfigEntry& entry : entries) {
    if (entry.state == ResultPass) continue;
    int32_t state = checkFix.Fix(entry);
    entry.state = state;
    if (state != ResultPass) return state;
  }
  return checkFix.EndFix();
}

int32_t RunTypeCheck(ConfigType& type, bool stopAtFirstFailure) {
  ICheckFix* checkFix = GetCheckFix(type.name);
  if (!checkFix) return ResultNotRun;
  return RunCheckOver(*checkFix, type.entries, stopAtFirstFailure);
}

int32_t RunTypeFix(ConfigType& type) {
  ICheckFix* checkFix = GetCheckFix(type.name);
  if (!checkFix) return ResultNotRun;
  return RunFixOver(*checkFix, type.entries);
}

int32_t CheckOneEntry(ICheckFix& checkFix, ConfigEntry& entry) {
  int32_t begin = checkFix.BeginCheck();
  if (begin != ResultPass) return begin;
  entry.state = ResultNotRun;
  int32_t state = checkFix.Check(entry);
  entry.state = state;
  if (state != ResultPass && state != ResultDiffers) return state;
  int32_t end = checkFix.EndCheck();
  if (end != ResultPass) return end;
  return state;
}

int32_t DetectItem(ConfigItem& item, bool stopAtFirstFailure) {
  bool anyDiffers = false;
  int32_t error = ResultPass;
  for (ConfigEntry& entry : item.detect) {
    ICheckFix* checkFix = GetCheckFix(entry.attributes.Get("dtype"));
    if (!checkFix) return ResultUnknownType;
    int32_t outcome = CheckOneEntry(*checkFix, entry);
    if (outcome == ResultDiffers) {
      anyDiffers = true;
    } else if (outcome != ResultPass) {
      error = outcome;
      if (stopAtFirstFailure) break;
    }
  }
  if (error != ResultPass) return error;
  return anyDiffers ? ResultDiffers : ResultPass;
}

std::vector<ConfigEntry> EntriesForPlatform(const std::vector<ConfigEntry>& entries) {
  if (IsWow64()) return entries;
  std::vector<ConfigEntry> kept;
  for (const ConfigEntry& entry : entries) {
    if (entry.attributes.Get("bit") != "64") kept.push_back(entry);
  }
  return kept;
}

int32_t DetectItemForPlatform(ConfigItem& item) {
  if (IsWow64()) return DetectItem(item, false);
  // A temporary copy: the entries left out must not be run, and the copy's
  // states are not the store's.
  ConfigItem copy;
  copy.attributes = item.attributes;
  copy.detect = EntriesForPlatform(item.detect);
  return DetectItem(copy, false);
}

void SetNativeArchitectureProbe(NativeArchitectureProbe probe) { g_architectureProbe = probe; }

WORD NativeProcessorArchitecture() {
  return g_architectureProbe ? g_architectureProbe() : RealNativeArchitecture();
}

bool SkipsOnThisProcessor(const ConfigEntry& entry) {
  if (!entry.attributes.Has("bit")) return false;
  WORD architecture = NativeProcessorArchitecture();
  return architecture != PROCESSOR_ARCHITECTURE_AMD64 &&
         architecture != PROCESSOR_ARCHITECTURE_IA64;
}

Wow64EntryGuard::Wow64EntryGuard(const ConfigEntry& entry) {
  if (entry.attributes.Get("bit") != "64" || !IsWow64()) return;
  active_ = true;
  redirectionOff_ = DisableFsRedirection();
}

Wow64EntryGuard::~Wow64EntryGuard() {
  if (redirectionOff_) RevertFsRedirection();
}

}  // namespace Assistant
}  // namespace Zentrava
