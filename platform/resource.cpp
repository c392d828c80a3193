// Module handle and resources. The running program is the only module; its resources are
// the table embedded by the build plus those that tests and tools add at run time. An
// HRSRC is the handle of one entry of a registry that lists both (a handle of a removed
// resource may come to name a later one, as handles do on Windows). LoadResource returns the
// address of the bytes themselves, as Windows does for resources of a loaded module.
#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/handle_table.h"
#include "platform/platform.h"
#include "platform/resource_table.h"
#include "platform/win32.h"

__attribute__((weak)) const PlatResourceTable* PlatEmbeddedResources(void) {
  static const PlatResourceTable empty = {nullptr, 0};
  return &empty;
}

namespace {

const DWORD PLAT_MODULE_SELF = (PLAT_KIND_MODULE << 24) | 1;

// One resource of the registry. Added resources own an exactly-sized copy of their bytes.
struct PlatResource {
  PlatResourceEntry entry;
  std::string typeName, nameName;
  std::unique_ptr<unsigned char[]> ownedData;
  bool added;
};

struct PlatResourceRegistry {
  std::mutex lock;
  bool embeddedLoaded = false;
  std::vector<std::unique_ptr<PlatResource>> resources;
};

PlatResourceRegistry& PlatResources() {
  static PlatResourceRegistry registry;
  return registry;
}

void PlatLoadEmbedded(PlatResourceRegistry& registry) {
  if (registry.embeddedLoaded) return;
  registry.embeddedLoaded = true;
  const PlatResourceTable* table = PlatEmbeddedResources();
  for (DWORD i = 0; i < table->count; ++i) {
    auto r = std::make_unique<PlatResource>();
    r->entry = table->entries[i];
    r->added = false;
    registry.resources.push_back(std::move(r));
  }
}

// A name or type as the caller gives it: an integer resource, "#123", or a string.
bool PlatResourceMatches(LPCSTR wanted, WORD id, const char* name) {
  if (IS_INTRESOURCE(wanted)) return !name && id == LOWORD(wanted);
  if (wanted[0] == '#') return !name && std::strtoul(wanted + 1, nullptr, 10) == id;
  return name && strcasecmp(wanted, name) == 0;
}

PlatResource* PlatResourceFromHandle(PlatResourceRegistry& registry, HRSRC handle) {
  DWORD number = PlatHandleNumber(handle);
  if ((number >> 24) != PLAT_KIND_RESOURCE) return nullptr;
  DWORD index = (number & 0xFFFFFF) - 1;
  if (index >= registry.resources.size()) return nullptr;
  return registry.resources[index].get();
}

bool PlatIsOwnModule(HMODULE module) {
  return module == nullptr || PlatHandleNumber(module) == PLAT_MODULE_SELF;
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  // Only the program itself is a module here.
  if (moduleName != nullptr) return nullptr;
  return PlatHandleFromNumber<HMODULE>(PLAT_MODULE_SELF);
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  if (!PlatIsOwnModule(module) || name == nullptr || type == nullptr) return nullptr;
  PlatResourceRegistry& registry = PlatResources();
  std::lock_guard<std::mutex> guard(registry.lock);
  PlatLoadEmbedded(registry);
  // Newest first, so that a resource added at run time hides an embedded one.
  for (size_t i = registry.resources.size(); i-- > 0;) {
    const PlatResource& r = *registry.resources[i];
    if (PlatResourceMatches(type, r.entry.typeId, r.entry.typeName) &&
        PlatResourceMatches(name, r.entry.nameId, r.entry.nameName))
      return PlatHandleFromNumber<HRSRC>((PLAT_KIND_RESOURCE << 24) | (DWORD)(i + 1));
  }
  return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  if (!PlatIsOwnModule(module)) return nullptr;
  PlatResourceRegistry& registry = PlatResources();
  std::lock_guard<std::mutex> guard(registry.lock);
  PlatResource* r = PlatResourceFromHandle(registry, resource);
  if (!r) return nullptr;
  // An empty resource still loads: its address is that of a zero-byte block.
  static const unsigned char emptyResource[1] = {0};
  return (HGLOBAL)(r->entry.data ? r->entry.data : emptyResource);
}

LPVOID LockResource(HGLOBAL resourceData) { return resourceData; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  if (!PlatIsOwnModule(module)) return 0;
  PlatResourceRegistry& registry = PlatResources();
  std::lock_guard<std::mutex> guard(registry.lock);
  PlatResource* r = PlatResourceFromHandle(registry, resource);
  return r ? r->entry.size : 0;
}

BOOL PlatAddResource(LPCSTR type, LPCSTR name, const void* data, DWORD size) {
  if (type == nullptr || name == nullptr || (size && data == nullptr)) return FALSE;
  auto r = std::make_unique<PlatResource>();
  r->added = true;
  r->entry = PlatResourceEntry{};
  r->entry.language = LANG_ENGLISH_US;
  if (IS_INTRESOURCE(type)) {
    r->entry.typeId = LOWORD(type);
  } else {
    r->typeName = type;
    r->entry.typeName = r->typeName.c_str();
  }
  if (IS_INTRESOURCE(name)) {
    r->entry.nameId = LOWORD(name);
  } else {
    r->nameName = name;
    r->entry.nameName = r->nameName.c_str();
  }
  // Exactly `size` bytes, so that a reader running past the end is caught by the sanitizers.
  r->ownedData.reset(new unsigned char[size ? size : 1]);
  if (size) std::memcpy(r->ownedData.get(), data, size);
  r->entry.data = size ? r->ownedData.get() : nullptr;
  r->entry.size = size;

  PlatResourceRegistry& registry = PlatResources();
  std::lock_guard<std::mutex> guard(registry.lock);
  PlatLoadEmbedded(registry);
  registry.resources.push_back(std::move(r));
  return TRUE;
}

void PlatRemoveAddedResources(void) {
  PlatResourceRegistry& registry = PlatResources();
  std::lock_guard<std::mutex> guard(registry.lock);
  // Added resources always follow the embedded ones, so dropping them is a truncation.
  size_t embedded = 0;
  while (embedded < registry.resources.size() && !registry.resources[embedded]->added) ++embedded;
  registry.resources.resize(embedded);
}
