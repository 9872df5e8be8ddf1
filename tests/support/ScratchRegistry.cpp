#include "tests/support/ScratchRegistry.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "common/ScopedHandle.h"

namespace testing_support {

namespace {
std::atomic<unsigned> g_scratchCounter{0};
constexpr wchar_t kScratchRoot[] = L"Software\\TolvaneWinTests";
}  // namespace

ScratchRegistry::ScratchRegistry() {
  scratchPath = std::wstring(kScratchRoot) + L"\\Scratch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(g_scratchCounter++);
  RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath.c_str());
  if (RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch,
                      nullptr) != ERROR_SUCCESS) {
    scratch = nullptr;
    return;
  }
  overridden = RegOverridePredefKey(HKEY_CURRENT_USER, scratch) == ERROR_SUCCESS;
}

ScratchRegistry::~ScratchRegistry() {
  if (overridden) RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  if (scratch != nullptr) RegCloseKey(scratch);
  RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath.c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, scratchPath.c_str());
}

bool RegValueExists(HKEY root, const wchar_t* subkey, const wchar_t* name) {
  ScopedRegKey key;
  if (RegOpenKeyExW(root, subkey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
  return RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool RegReadRaw(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD& type, std::wstring& bytesAsText,
                std::string& rawBytes) {
  ScopedRegKey key;
  if (RegOpenKeyExW(root, subkey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  rawBytes.assign(size, '\0');
  if (size != 0 && RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(rawBytes.data()),
                                    &size) != ERROR_SUCCESS) {
    return false;
  }
  rawBytes.resize(size);
  bytesAsText.assign(size / 2, L'\0');
  if (size >= 2) memcpy(bytesAsText.data(), rawBytes.data(), (size / 2) * 2);
  while (!bytesAsText.empty() && bytesAsText.back() == L'\0') bytesAsText.pop_back();
  return true;
}

bool RegSetRaw(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ScopedRegKey key;
  if (RegCreateKeyExW(root, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(), nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  return RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool RegSetString(HKEY root, const wchar_t* subkey, const wchar_t* name, const std::wstring& value, DWORD type) {
  return RegSetRaw(root, subkey, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * 2));
}

bool RegSetDword(HKEY root, const wchar_t* subkey, const wchar_t* name, DWORD value) {
  return RegSetRaw(root, subkey, name, REG_DWORD, &value, sizeof(value));
}

bool RegSetQword(HKEY root, const wchar_t* subkey, const wchar_t* name, unsigned long long value) {
  return RegSetRaw(root, subkey, name, REG_QWORD, &value, sizeof(value));
}

bool RegDeleteTreeIfPresent(HKEY root, const wchar_t* subkey) {
  const LSTATUS tree = RegDeleteTreeW(root, subkey);
  if (tree != ERROR_SUCCESS && tree != ERROR_FILE_NOT_FOUND) return false;
  const LSTATUS self = RegDeleteKeyW(root, subkey);
  return self == ERROR_SUCCESS || self == ERROR_FILE_NOT_FOUND;
}

bool RegValueNames(HKEY root, const wchar_t* subkey, std::wstring& joined) {
  ScopedRegKey key;
  if (RegOpenKeyExW(root, subkey, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return false;
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD length = 256;
    if (RegEnumValueW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  std::sort(names.begin(), names.end());
  joined.clear();
  for (const auto& name : names) {
    if (!joined.empty()) joined += L",";
    joined += name;
  }
  return true;
}

}  // namespace testing_support
