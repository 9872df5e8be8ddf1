#include "common/Registry.h"

#include <cstring>

#include "common/ScopedHandle.h"
#include "common/Text.h"

bool RegistryReadQword(HKEY key, const wchar_t* name, uint64_t& value) {
  unsigned char buffer[8] = {};
  DWORD size = sizeof(buffer);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, buffer, &size) != ERROR_SUCCESS) return false;
  if (type != REG_QWORD) return false;
  uint64_t number = 0;
  std::memcpy(&number, buffer, sizeof(number));
  value = number;
  return true;
}

bool RegistryReadString(HKEY key, const wchar_t* name, std::wstring& value) {
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ || size == 0) return false;
  // Room for an odd last byte too, so the read never runs past the buffer;
  // that byte is then dropped.
  std::wstring text((size + 1) / 2, L'\0');
  DWORD readSize = size;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &readSize) !=
      ERROR_SUCCESS) {
    return false;
  }
  text.resize(size / 2);
  // The text ends at its first NUL, as other readers of REG_SZ see it; this
  // also drops the terminator and anything the second read did not fill.
  const size_t end = text.find(L'\0');
  if (end != std::wstring::npos) text.resize(end);
  value = std::move(text);
  return true;
}

bool RegistryReadInstallText(HKEY key, const wchar_t* name, std::wstring& value, size_t utf8Limit) {
  std::wstring text;
  if (!RegistryReadString(key, name, text)) return false;
  if (text.size() > kInstallTextLimit || text.find_first_of(L"\r\n") != std::wstring::npos) return false;
  if (utf8Limit != SIZE_MAX && WideToUtf8(text).size() > utf8Limit) return false;
  value = std::move(text);
  return true;
}

bool RegistryWriteString(HKEY key, const wchar_t* name, const std::wstring& value) {
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

std::wstring ReadWindowsMachineGuid() {
  ScopedRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", 0, KEY_READ | KEY_WOW64_64KEY,
                    key.Receive()) != ERROR_SUCCESS) {
    return std::wstring();
  }
  std::wstring guid;
  RegistryReadString(key.Get(), L"MachineGuid", guid);
  return guid;
}
