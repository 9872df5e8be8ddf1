#include <windows.h>

#include <cstdio>
#include <string>

#include "bench/Bench.h"
#include "common/Identifiers.h"
#include "common/Json.h"
#include "common/ScopedHandle.h"
#include "common/Time.h"
#include "shell/AppState.h"
#include "shell/InstallState.h"
#include "shell/ShellConstants.h"
#include "telemetry/EventQueue.h"
#include "telemetry/IdentityMetadata.h"
#include "telemetry/Transport.h"
#include "telemetry/WindowsOutbox.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/ScratchRegistry.h"

namespace bench {

namespace {

constexpr int kWarmUpRuns = 3;
constexpr int kRuns = 25;
constexpr int kCheckRuns = 200;
constexpr double kFileWaitMs = 5000;
constexpr size_t kNearLimitBodyBytes = 10900;

struct Sample {
  double callMs = 0;
  double fileMs = 0;
};

class OutboxLock {
 public:
  OutboxLock() { EnterCriticalSection(&g_telemetryOutbox->lock); }
  ~OutboxLock() { LeaveCriticalSection(&g_telemetryOutbox->lock); }
  OutboxLock(const OutboxLock&) = delete;
  OutboxLock& operator=(const OutboxLock&) = delete;
};

// Waits until the persistence worker has written everything queued so far.
bool WaitUntilPersisted() {
  const double deadline = NowMs() + kFileWaitMs;
  for (;;) {
    uint64_t revision = 0;
    {
      OutboxLock lock;
      revision = g_telemetryOutbox->revision;
    }
    if (g_telemetryOutbox->persistedRevision >= revision) return true;
    if (NowMs() >= deadline) return false;
    Sleep(1);
  }
}

// Opened with every sharing flag, so the worker's replace of the file is never refused.
bool ReadShared(const std::wstring& path, std::string& bytes) {
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.Get(), &size)) return false;
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  return bytes.empty() || (ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                           read == bytes.size());
}

// Polls the outbox file, reading it only when its size or write time moved.
bool WaitForFileToHold(const std::wstring& path, const std::string& needle) {
  const double deadline = NowMs() + kFileWaitMs;
  FILETIME seen = {};
  DWORD seenSize = 0;
  for (;;) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        (CompareFileTime(&data.ftLastWriteTime, &seen) != 0 || data.nFileSizeLow != seenSize)) {
      std::string bytes;
      if (ReadShared(path, bytes)) {
        seen = data.ftLastWriteTime;
        seenSize = data.nFileSizeLow;
        if (bytes.find(needle) != std::string::npos) return true;
      }
    }
    if (NowMs() >= deadline) return false;
    SwitchToThread();
  }
}

bool MeasureOne(Sample& sample) {
  if (!WaitUntilPersisted()) return false;
  const double start = NowMs();
  QueueTelemetryReport(L"session_alive", L"");
  sample.callMs = NowMs() - start;
  std::string eventId;
  {
    OutboxLock lock;
    if (g_telemetryOutbox->outbox.records.empty()) return false;
    eventId = ExtractJsonStringUtf8(g_telemetryOutbox->outbox.records.back().body, "eventId");
  }
  if (eventId.empty() || !WaitForFileToHold(g_telemetryOutbox->outboxPath, eventId)) return false;
  sample.fileMs = NowMs() - start;
  return true;
}

void FillQueue(const telemetry::Record& record, size_t count) {
  OutboxLock lock;
  g_telemetryOutbox->outbox.records.assign(count, record);
  g_telemetryOutbox->revision += 1;
}

std::string Number(size_t value) {
  return std::to_string(value);
}

}  // namespace

bool BenchQueueing(Report& report) {
  testing_support::ScratchRegistry registry;
  testing_support::ScratchDirectories dirs;
  const std::wstring endpoint = ClosedLoopbackEndpoint();
  if (!registry.ok() || endpoint.empty() ||
      !testing_support::RegSetString(HKEY_CURRENT_USER, kRegistryPath, L"TelemetryEndpointUrl", endpoint)) {
    report.notes.push_back("queueing: no private registry or closed port; not measured");
    return false;
  }
  // As the program's window creation does it.
  LoadInstallState();
  LoadTelemetryMetadata();
  g_telemetryOutbox->Start(g_telemetryDirectory, kRegistryPath, SendTelemetryNow, CurrentUnixTime());
  g_app.sessionId = GenerateGuidString();
  if (!g_telemetryOutbox->running || g_app.telemetryEndpointUrl != endpoint) {
    report.notes.push_back("queueing: the outbox did not start; not measured");
    return false;
  }

  Sample sample;
  for (int run = 0; run < kWarmUpRuns; ++run) MeasureOne(sample);
  telemetry::Record model;
  {
    OutboxLock lock;
    if (!g_telemetryOutbox->outbox.records.empty()) model = g_telemetryOutbox->outbox.records.back();
  }
  if (model.body.empty()) {
    report.notes.push_back("queueing: no event reached the queue; not measured");
    return false;
  }

  Figure callEmpty{"queue call, empty queue", "ms", {}, "target ≤ 0.5 ms"};
  Figure fileEmpty{"queue to the event in the file, empty queue", "ms", {}, "target ≤ 50 ms"};
  Figure callFull{"queue call, 512 queued", "ms", {}, "target ≤ 0.5 ms"};
  Figure fileFull{"queue to the event in the file, 512 queued", "ms", {}, "target ≤ 50 ms"};
  int failures = 0;
  for (int run = 0; run < kRuns; ++run) {
    FillQueue(model, 0);
    if (!MeasureOne(sample)) {
      ++failures;
      continue;
    }
    callEmpty.samples.push_back(sample.callMs);
    fileEmpty.samples.push_back(sample.fileMs);
  }
  // Full stays full: each call drops the oldest record.
  FillQueue(model, telemetry::kOutboxRecordLimit);
  for (int run = 0; run < kRuns; ++run) {
    if (!MeasureOne(sample)) {
      ++failures;
      continue;
    }
    callFull.samples.push_back(sample.callMs);
    fileFull.samples.push_back(sample.fileMs);
  }
  size_t queued = 0;
  {
    OutboxLock lock;
    queued = g_telemetryOutbox->outbox.records.size();
  }

  // The size check alone, on that event and on a body near the URL limit.
  Figure checkEvent{"request size check, one event", "ms", {}, ""};
  Figure checkLarge{"request size check, " + Number(kNearLimitBodyBytes) + "-byte body", "ms", {}, ""};
  const std::string largeBody(kNearLimitBodyBytes, '"');
  bool fits = true;
  for (int run = 0; run < kCheckRuns; ++run) {
    double start = NowMs();
    fits = TelemetryRequestFits(model.endpoint, model.body) && fits;
    checkEvent.samples.push_back(NowMs() - start);
    start = NowMs();
    fits = TelemetryRequestFits(model.endpoint, largeBody) && fits;
    checkLarge.samples.push_back(NowMs() - start);
  }

  report.figures.push_back(callEmpty);
  report.figures.push_back(callFull);
  report.figures.push_back(fileEmpty);
  report.figures.push_back(fileFull);
  report.figures.push_back(checkEvent);
  report.figures.push_back(checkLarge);
  report.notes.push_back("queueing: QueueTelemetryReport(\"session_alive\") on the calling thread, the real outbox "
                         "started in a scratch LOCALAPPDATA with a private HKCU and sending to a closed loopback "
                         "port; event body " + Number(model.body.size()) + " bytes; the file time runs from the "
                         "call until the outbox file read back holds the event's eventId; " +
                         Number(queued) + " records queued at the end; " + Number(failures) + " failed runs");
  if (!fits) report.notes.push_back("request size check: a body that fits was refused");
  return failures == 0 && fits && queued == telemetry::kOutboxRecordLimit;
}

}  // namespace bench
