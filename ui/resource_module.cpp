#include "ui/resource_module.h"

#include <atomic>

#include "ui/new_window.h"

namespace Zentrava::UI {
namespace {
std::atomic<HMODULE> g_resourceModule{nullptr};
std::atomic<NewWindowOpener> g_newWindowOpener{nullptr};
}  // namespace

HMODULE ResourceModule() {
  HMODULE module = g_resourceModule.load();
  return module ? module : GetModuleHandleW(nullptr);
}

void SetResourceModule(HMODULE module) { g_resourceModule.store(module); }

NewWindowOpener SetNewWindowOpener(NewWindowOpener opener) { return g_newWindowOpener.exchange(opener); }
NewWindowOpener GetNewWindowOpener() { return g_newWindowOpener.load(); }

}  // namespace Zentrava::UI
