#include "shell/AutoStart.h"

#include "common/Paths.h"
#include "common/Registry.h"
#include "common/ScopedHandle.h"
#include "shell/AppState.h"
#include "telemetry/EventQueue.h"
#include "shell/ShellConstants.h"

namespace {

constexpr wchar_t kRunBlanks[] = L" \t\r\n";

}  // namespace

std::wstring TrimRunValue(const std::wstring& value) {
  const size_t first = value.find_first_not_of(kRunBlanks);
  if (first == std::wstring::npos) return std::wstring();
  const size_t last = value.find_last_not_of(kRunBlanks);
  return value.substr(first, last - first + 1);
}

std::wstring RunValueProgramPath(const std::wstring& value) {
  const std::wstring text = TrimRunValue(value);
  if (text.empty()) return std::wstring();
  if (text.front() == L'"') {
    const size_t closing = text.find(L'"', 1);
    if (closing == std::wstring::npos) return text.substr(1);
    return text.substr(1, closing - 1);
  }
  return text.substr(0, text.find_first_of(kRunBlanks));
}

bool RunValueNamesExecutable(const std::wstring& value, const std::wstring& executablePath) {
  const std::wstring path = RunValueProgramPath(value);
  if (path.empty() || executablePath.empty()) return false;
  return CompareStringOrdinal(path.c_str(), -1, executablePath.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring AutoStartValueText(const std::wstring& executablePath) {
  std::wstring text = L"\"";
  for (wchar_t c : executablePath) {
    if (c == L'"') text += L'\\';
    text += c;
  }
  text += L'"';
  return text;
}

void RefreshAutoStartState() {
  g_app.autoStart = false;
  ScopedRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunRegistryPath, 0, KEY_READ, key.Receive()) != ERROR_SUCCESS) return;
  std::wstring value;
  if (!RegistryReadString(key.Get(), kRunRegistryValueName, value)) return;
  g_app.autoStart = RunValueNamesExecutable(value, CurrentExecutablePath());
}

bool EnableAutoStart() {
  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunRegistryPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Receive(),
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return RegistryWriteString(key.Get(), kRunRegistryValueName, AutoStartValueText(CurrentExecutablePath()));
}

bool DisableAutoStart() {
  ScopedRegKey key;
  const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, kRunRegistryPath, 0, KEY_SET_VALUE, key.Receive());
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  const LSTATUS deleted = RegDeleteValueW(key.Get(), kRunRegistryValueName);
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

void ToggleAutoStart(HWND window) {
  const bool switchOn = !g_app.autoStart;
  const bool done = switchOn ? EnableAutoStart() : DisableAutoStart();
  if (!done) {
    MessageBoxW(window,
                L"Could not update Windows startup setting. Check that the current user can write to HKCU Run.",
                L"TolvaneWin startup", MB_ICONWARNING);
    return;
  }
  g_app.autoStart = switchOn;
  QueueTelemetryReport(switchOn ? L"autostart_enabled" : L"autostart_disabled", L"");
}
