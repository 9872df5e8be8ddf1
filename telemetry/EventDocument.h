#pragma once

#include <cstdint>
#include <string>

inline constexpr wchar_t kAppVariant[] = L"tw1";

// The whole JSON document of one event (null type: "heartbeat"). Advances the
// event sequence and hands the identity state to the outbox first.
std::wstring BuildTelemetryJson(const wchar_t* eventType, const std::wstring& extraProperties);

// Pieces of the document that need no platform call.
std::wstring TelemetryEventCategory(const std::wstring& eventType);
std::wstring BadgeStyleName(int32_t badgeStyle);
std::wstring ArchitectureName(unsigned short processorArchitecture);
