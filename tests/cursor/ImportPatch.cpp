#include "tests/cursor/ImportPatch.h"

#include <cstring>

namespace testing_support {

namespace {

void** FindImportSlot(const char* dllName, const char* functionName) {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return nullptr;

  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       import->Name != 0; ++import) {
    if (_stricmp(reinterpret_cast<const char*>(base + import->Name), dllName) != 0) continue;
    if (import->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), functionName) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

void WriteSlot(void** slot, void* value) {
  DWORD oldProtection = 0;
  VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection);
  *slot = value;
  VirtualProtect(slot, sizeof(void*), oldProtection, &oldProtection);
}

}  // namespace

ImportPatch::ImportPatch(const char* dllName, const char* functionName, void* replacement) {
  slot = FindImportSlot(dllName, functionName);
  if (slot == nullptr) return;
  saved = *slot;
  WriteSlot(slot, replacement);
}

ImportPatch::~ImportPatch() {
  if (slot != nullptr) WriteSlot(slot, saved);
}

}  // namespace testing_support
