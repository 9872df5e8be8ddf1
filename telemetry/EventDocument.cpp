#include "telemetry/EventDocument.h"

#include <windows.h>

#include "BuildConfig.h"
#include "common/Format.h"
#include "common/Identifiers.h"
#include "common/Json.h"
#include "common/Time.h"
#include "common/Version.h"
#include "shell/AppState.h"
#include "telemetry/IdentityMetadata.h"
#include "telemetry/WindowsOutbox.h"

namespace {

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, wcslen(prefix), prefix) == 0;
}

bool IsOneOf(const std::wstring& text, std::initializer_list<const wchar_t*> words) {
  for (const wchar_t* word : words) {
    if (text == word) return true;
  }
  return false;
}

const wchar_t* Bool(bool value) {
  return value ? L"true" : L"false";
}

std::wstring OsVersionProbe() {
  using RtlGetVersionFunction = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return L"Windows";
  auto getVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (getVersion == nullptr) return L"Windows";
  RTL_OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  if (getVersion(&info) != 0) return L"Windows";
  wchar_t buffer[64] = {};
  if (!FormatWide(buffer, L"Windows %lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber)) {
    return L"Windows";
  }
  return buffer;
}

std::wstring ArchitectureProbe() {
  SYSTEM_INFO info = {};
  GetNativeSystemInfo(&info);
  return ArchitectureName(info.wProcessorArchitecture);
}

std::wstring UiLocaleProbe() {
  wchar_t buffer[LOCALE_NAME_MAX_LENGTH] = {};
  return GetUserDefaultLocaleName(buffer, LOCALE_NAME_MAX_LENGTH) > 0 ? buffer : L"";
}

std::wstring InputLanguageProbe() {
  HWND window = GetForegroundWindow();
  const DWORD thread = window != nullptr ? GetWindowThreadProcessId(window, nullptr) : GetCurrentThreadId();
  const HKL layout = GetKeyboardLayout(thread);
  wchar_t buffer[LOCALE_NAME_MAX_LENGTH] = {};
  const LCID locale = LOWORD(reinterpret_cast<ULONG_PTR>(layout));
  return LCIDToLocaleName(locale, buffer, LOCALE_NAME_MAX_LENGTH, 0) > 0 ? buffer : L"";
}

void AppendMember(std::wstring& json, const wchar_t* key, const std::wstring& rawValue) {
  json += L",\"";
  json += key;
  json += L"\":";
  json += rawValue;
}

std::wstring Quoted(const std::wstring& text) {
  return L"\"" + text + L"\"";
}

}  // namespace

std::wstring TelemetryEventCategory(const std::wstring& type) {
  if (IsOneOf(type, {L"activation", L"launch", L"update", L"exit", L"session_alive"})) return L"lifecycle";
  if (IsOneOf(type, {L"heartbeat", L"activity_summary"}) || StartsWith(type, L"auto_return")) return L"activity";
  if (StartsWith(type, L"update_")) return L"updates";
  if (StartsWith(type, L"style_") || StartsWith(type, L"handedness_") || StartsWith(type, L"autostart_") ||
      StartsWith(type, L"primary_layout_") || StartsWith(type, L"mode_") ||
      IsOneOf(type, {L"enabled", L"disabled", L"restore", L"reapply"})) {
    return L"settings";
  }
  return L"feature";
}

std::wstring BadgeStyleName(int32_t badgeStyle) {
  switch (badgeStyle) {
    case 0: return L"none";
    case 1: return L"letter";
    case 2: return L"dot";
    case 3: return L"high_contrast";
    default: return L"unknown";
  }
}

std::wstring ArchitectureName(unsigned short processorArchitecture) {
  switch (processorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: return L"x86";
    case PROCESSOR_ARCHITECTURE_ARM: return L"arm";
    case PROCESSOR_ARCHITECTURE_AMD64: return L"x86_64";
    case 12: return L"arm64";
    default: return L"unknown";
  }
}

std::wstring BuildTelemetryJson(const wchar_t* eventType, const std::wstring& extraProperties) {
  g_app.eventSequence += 1;
  const bool persisted = PersistTelemetryMetadata();
  const bool reliable = persisted && g_app.orderingReliable;
  const std::wstring type = eventType != nullptr ? eventType : L"heartbeat";

  const std::wstring clientSentAt = IsoFromUnixTime(CurrentUnixTime());
  const std::wstring firstSeenAt = IsoFromUnixTime(g_app.firstRunUnix);
  const std::wstring lastSeenAt = IsoFromUnixTime(g_app.lastSeenUnix != 0 ? g_app.lastSeenUnix : CurrentUnixTime());
  const std::wstring handedness = g_app.leftHanded ? L"left" : L"right";
  const std::wstring styleName = BadgeStyleName(g_app.badgeStyle);
  const std::wstring mode = handedness + L"_" + styleName;
  const std::wstring eventId = GenerateGuidString();
  const std::wstring category = TelemetryEventCategory(type);
  const std::wstring osVersion = OsVersionProbe();
  const std::wstring architecture = ArchitectureProbe();
  const std::wstring uiLocale = UiLocaleProbe();
  const std::wstring inputLanguage = InputLanguageProbe();

  // Settings as they stand both at top level and inside "properties".
  std::wstring settings;
  settings += L"\"language\":" + Quoted(JsonEscape(g_app.badgeText));
  settings += L",\"leftHanded\":" + std::wstring(Bool(g_app.leftHanded));
  settings += L",\"handedness\":" + Quoted(handedness);
  settings += L",\"badgeStyle\":" + Quoted(styleName);
  settings += L",\"mode\":" + Quoted(JsonEscape(mode));
  settings += L",\"enabled\":" + std::wstring(Bool(g_app.enabled));

  // Built without a fixed buffer, so long registry texts cannot truncate it.
  std::wstring json = L"{\"schemaVersion\":3";
  AppendMember(json, L"eventId", Quoted(JsonEscape(eventId)));
  AppendMember(json, L"sessionId", Quoted(JsonEscape(g_app.sessionId)));
  AppendMember(json, L"eventCategory", Quoted(JsonEscape(category)));
  AppendMember(json, L"platform", L"\"windows\"");
  AppendMember(json, L"osVersion", Quoted(JsonEscape(osVersion)));
  AppendMember(json, L"architecture", Quoted(JsonEscape(architecture)));
  AppendMember(json, L"uiLocale", Quoted(JsonEscape(uiLocale)));
  AppendMember(json, L"inputLanguage", Quoted(JsonEscape(inputLanguage)));
  AppendMember(json, L"clientSentAt", Quoted(clientSentAt));
  AppendMember(json, L"installId", Quoted(JsonEscape(g_app.installId)));
  AppendMember(json, L"deviceId", Quoted(JsonEscape(g_app.deviceId)));
  AppendMember(json, L"appVariant", Quoted(kAppVariant));
  AppendMember(json, L"eventType", Quoted(type));
  AppendMember(json, L"appVersion", Quoted(kAppVersion));
  AppendMember(json, L"appBuildVersion", Quoted(kAppBuildVersion));
  AppendMember(json, L"installVersion", Quoted(JsonEscape(g_app.installVersion)));
  AppendMember(json, L"updatedFromVersion", Quoted(JsonEscape(g_app.updatedFromVersion)));
  AppendMember(json, L"updatedToVersion", Quoted(JsonEscape(g_app.updatedToVersion)));
  AppendMember(json, L"lastUpdatedAt", Quoted(JsonEscape(g_app.lastUpdatedAt)));
  AppendMember(json, L"firstSeenAt", Quoted(firstSeenAt));
  AppendMember(json, L"lastSeenAt", Quoted(lastSeenAt));
  AppendMember(json, L"eventAt", Quoted(clientSentAt));
  AppendMember(json, L"spreadsheetId", Quoted(kTelemetrySpreadsheetId));
  json += L"," + settings;
  AppendMember(json, L"properties", L"{" + settings + extraProperties + L"}");

  AppendMember(json, L"eventSequence", reliable ? std::to_wstring(g_app.eventSequence) : L"null");
  AppendMember(json, L"installFirstSeenAt", Quoted(IsoFromUnixTime(g_app.installFirstSeenUnix)));
  AppendMember(json, L"installDateProvenance", Quoted(JsonEscape(g_app.installDateProvenance)));
  AppendMember(json, L"periodStartedAt", Quoted(firstSeenAt));
  AppendMember(json, L"activityCount", std::to_wstring(g_app.activityCount));
  AppendMember(json, L"featureEnabled", Bool(g_app.enabled));
  AppendMember(json, L"cursorApplyResult", Quoted(JsonEscape(g_app.cursorApplyResult)));
  AppendMember(json, L"identityDiagnostic", Quoted(JsonEscape(g_app.identityDiagnostic)));
  AppendMember(json, L"sequenceReliable", Bool(reliable));
  AppendMember(json, L"outboxPersistenceHealthy", Bool(g_telemetryOutbox->outboxHealthy));
  AppendMember(json, L"telemetryDroppedCount", std::to_wstring(g_telemetryOutbox->publishedDropped.load()));
  json += L"}";
  return json;
}
