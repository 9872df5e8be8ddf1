#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Gives this process a private, empty HKEY_CURRENT_USER for its lifetime.
class ScratchRegistry {
 public:
  ScratchRegistry();
  ~ScratchRegistry();
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

  bool ok() const { return overridden; }
  // Path of the scratch key under the real HKCU.
  const std::wstring& path() const { return scratchPath; }

 private:
  std::wstring scratchPath;
  HKEY scratch = nullptr;
  bool overridden = false;
};

// Small readers and writers for assertions on the current HKCU.
bool RegValueExists(HKEY root, const wchar_t* subkey, const wchar_t* name);
bool RegReadRaw(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD& type, std::wstring& bytesAsText,
                std::string& rawBytes);
bool RegSetRaw(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD type, const void* data, DWORD size);
bool RegSetString(HKEY root, const wchar_t* subkey, const wchar_t* name, const std::wstring& value,
                  DWORD type = REG_SZ);
bool RegSetDword(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD value);
bool RegSetQword(HKEY root, const wchar_t* subkey, const wchar_t* name, unsigned long long value);
bool RegDeleteTreeIfPresent(HKEY root, const wchar_t* subkey);
// Names of all values of a key, sorted.
bool RegValueNames(HKEY root, const wchar_t* subkey, std::wstring& joined);

}  // namespace testing_support
