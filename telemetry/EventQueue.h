#pragma once

#include <string>

// Builds the event now and queues it; never waits for disk or network.
void QueueTelemetryReport(const wchar_t* eventType, const std::wstring& extraProperties);
void SendTelemetryReportNow(const wchar_t* eventType);
