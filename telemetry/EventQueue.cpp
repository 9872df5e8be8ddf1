#include "telemetry/EventQueue.h"

#include "common/Text.h"
#include "common/Time.h"
#include "shell/AppState.h"
#include "telemetry/EventDocument.h"
#include "telemetry/WindowsOutbox.h"

void QueueTelemetryReport(const wchar_t* eventType, const std::wstring& extraProperties) {
  if (g_app.telemetryEndpointUrl.empty()) return;
  const std::wstring document = BuildTelemetryJson(eventType, extraProperties);
  telemetry::Record record;
  record.body = WideToUtf8(document);
  const uint64_t nowUnix = CurrentUnixTime();
  record.createdUnix = CurrentUnixTime();
  record.endpoint = WideToUtf8(g_app.telemetryEndpointUrl);
  g_telemetryOutbox->Enqueue(std::move(record), nowUnix);
  if (!g_telemetryOutbox->running) g_app.identityDiagnostic = L"outbox_write_failed";
}

void SendTelemetryReportNow(const wchar_t* eventType) {
  QueueTelemetryReport(eventType, std::wstring());
}
