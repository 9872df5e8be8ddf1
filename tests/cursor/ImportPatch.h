#pragma once

#include <windows.h>

namespace testing_support {

// Replaces one entry of this executable's import address table for the
// lifetime of the object. The product code linked into the test binary calls
// the platform through that table, so the replacement sees its calls.
class ImportPatch {
 public:
  ImportPatch(const char* dllName, const char* functionName, void* replacement);
  ~ImportPatch();
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;

  bool ok() const { return slot != nullptr; }
  // The function the table pointed at before.
  void* original() const { return saved; }

 private:
  void** slot = nullptr;
  void* saved = nullptr;
};

}  // namespace testing_support
