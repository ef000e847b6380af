// The check-fix item interface: one class per kind of requirement knows how to
// test a configuration entry and how to repair it. The engine keeps one shared
// instance per class, keyed by type name, and runs a class over the entries of
// a configured type or over the detect entries of an item.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/config_store.h"

namespace Zentrava {
namespace Assistant {

// Result codes shared by every class, the engine and the command layer.
enum CheckFixResult : int32_t {
  ResultPass = 2,          // met, or repaired
  ResultDiffers = 1,       // present but different (older version, other hash)
  ResultNotRun = 0,        // state before any check
  ResultUnsupported = -1,  // operation not possible for this class or object
  ResultFail = -2,         // missing, mismatching, or the operation failed
  ResultDisabled = -3,     // browser add-on switched off by the user
  ResultCancelled = -4,    // the user declined a root certificate
  ResultUnknownType = -5,  // a detect entry names a type without a class
};

class ICheckFix {
 public:
  virtual ~ICheckFix() = default;
  // Prepares a check run, or tests a whole-system condition.
  virtual int32_t BeginCheck() { return ResultPass; }
  virtual int32_t Check(ConfigEntry& entry) = 0;
  virtual int32_t EndCheck() { return ResultPass; }
  // Prepares a fix run, or repairs a whole-system condition.
  virtual int32_t BeginFix() { return ResultPass; }
  virtual int32_t Fix(ConfigEntry& entry) = 0;
  // Finishes a fix run (for example writes shared state back).
  virtual int32_t EndFix() { return ResultPass; }
};

// One owned instance per class, keyed by type name (byte-wise), built on first
// use and destroyed at process exit. Every run of a type uses the same
// instance, so state a class keeps from a check run is what the next fix run
// works on.
class CheckFixFactory {
 public:
  static CheckFixFactory& Instance();

  ICheckFix* Find(const std::string& typeName) const;
  // Puts `instance` under `typeName` and hands back the one held before (null
  // when there was none). Lets a class that lives outside the engine, or a
  // scripted stand-in, take a type's place.
  std::unique_ptr<ICheckFix> Install(const std::string& typeName,
                                     std::unique_ptr<ICheckFix> instance);
  // The type names that have a class, in order.
  std::vector<std::string> TypeNames() const;

 private:
  CheckFixFactory();
  std::map<std::string, std::unique_ptr<ICheckFix>> instances_;
};

// The shared instance for `typeName`, or null.
ICheckFix* GetCheckFix(const std::string& typeName);

// Runs the type's class over its entries; 0 when no class has the type's name.
int32_t RunTypeCheck(ConfigType& type, bool stopAtFirstFailure);
int32_t RunTypeFix(ConfigType& type);

// The same runs for a given class over given entries.
int32_t RunCheckOver(ICheckFix& checkFix, std::vector<ConfigEntry>& entries,
                     bool stopAtFirstFailure);
int32_t RunFixOver(ICheckFix& checkFix, std::vector<ConfigEntry>& entries);

// One class over one entry as a check run: BeginCheck, Check, EndCheck.
int32_t CheckOneEntry(ICheckFix& checkFix, ConfigEntry& entry);

// Detection of an item over its detect entries, each run by the class its
// "dtype" names: 2 when all pass, 1 when something differs, else the error
// (the last one, or the first when stopping), -5 at once for an unknown type.
int32_t DetectItem(ConfigItem& item, bool stopAtFirstFailure);
// DetectItem over the entries meant for this platform, never stopping.
int32_t DetectItemForPlatform(ConfigItem& item);

// The item-level "bit" rule: outside WOW64, entries whose "bit" is exactly
// "64" are left out. Under WOW64 the list is taken as it is.
std::vector<ConfigEntry> EntriesForPlatform(const std::vector<ConfigEntry>& entries);

// The entry-level "bit" rule: true when the entry carries "bit" (any value)
// and the processor is neither AMD64 nor IA64, so the operation passes
// without doing anything.
bool SkipsOnThisProcessor(const ConfigEntry& entry);

// The native processor architecture (GetNativeSystemInfo). Tests replace the
// probe to stand for other processors; null restores the real one.
using NativeArchitectureProbe = WORD (*)();
void SetNativeArchitectureProbe(NativeArchitectureProbe probe);
WORD NativeProcessorArchitecture();

// For the duration of one operation on an entry meant for 64-bit Windows
// ("bit" exactly "64") in a WOW64 process: file-system redirection is off on
// this thread and registry code opens keys in the 64-bit view. Otherwise the
// guard does nothing.
class Wow64EntryGuard {
 public:
  explicit Wow64EntryGuard(const ConfigEntry& entry);
  ~Wow64EntryGuard();
  Wow64EntryGuard(const Wow64EntryGuard&) = delete;
  Wow64EntryGuard& operator=(const Wow64EntryGuard&) = delete;

  bool Uses64BitView() const { return active_; }
  // KEY_WOW64_64KEY when active, else 0: added to registry access masks.
  REGSAM RegistryViewFlag() const { return active_ ? KEY_WOW64_64KEY : 0; }

 private:
  bool active_ = false;
  bool redirectionOff_ = false;
};

}  // namespace Assistant
}  // namespace Zentrava
