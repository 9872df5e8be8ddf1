#include "telemetry/WindowsOutbox.h"

#include <sstream>

#include "common/Paths.h"
#include "common/ScopedHandle.h"
#include "telemetry/Files.h"
#include "telemetry/Transport.h"

namespace telemetry {

namespace {

constexpr DWORD kWorkerWakeMs = 1000;
constexpr uint64_t kRetryDelayMs = 15000;
constexpr DWORD kExitFlushMs = 500;
constexpr wchar_t kFlushIncompleteMessage[] =
    L"Telemetry local flush incomplete; newest snapshots may be missing. Inspect persistence diagnostics.\n";

class Lock {
 public:
  explicit Lock(CRITICAL_SECTION& section) : section(section) { EnterCriticalSection(&section); }
  ~Lock() { LeaveCriticalSection(&section); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CRITICAL_SECTION& section;
};

// Each byte becomes one unit by sign extension, as the mirror has always stored it.
std::wstring WidenBytes(const std::string& bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (char byte : bytes) text.push_back(static_cast<wchar_t>(static_cast<int16_t>(static_cast<signed char>(byte))));
  return text;
}

void SetString(HKEY key, const wchar_t* name, const std::string& bytes) {
  const std::wstring text = WidenBytes(bytes);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetQword(HKEY key, const wchar_t* name, uint64_t value) {
  RegSetValueExW(key, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// A record the outbox reader would refuse would make the whole file unreadable
// at the next start, and one that can never be sent would block the queue;
// neither is queued.
bool Admissible(const Record& record) {
  return !record.endpoint.empty() && record.endpoint.size() <= kRecordEndpointLimit && !record.body.empty() &&
         record.body.size() <= kRecordBodyLimit && TelemetryRequestFits(record.endpoint, record.body);
}

}  // namespace

bool WriteFileAtomically(const std::wstring& path, const std::string& bytes) {
  if (path.empty()) return false;
  const std::wstring temporary = path + kTemporarySuffix;
  {
    ScopedFileHandle file(
        CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool wrote = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size();
    if (!wrote || !FlushFileBuffers(file.Get())) {
      file.Reset();
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

WindowsOutbox::WindowsOutbox() {
  InitializeCriticalSection(&lock);
}

void WindowsOutbox::Start(const std::wstring& directory, const std::wstring& keyPath, SendCallback callback,
                          uint64_t nowUnix) {
  if (directory.empty()) {
    outboxHealthy = false;
    stateHealthy = false;
    return;
  }
  outboxPath = JoinPath(directory, kOutboxFileName);
  statePath = JoinPath(directory, kStateFileName);
  registryKeyPath = keyPath;
  sendCallback = callback;

  std::string bytes;
  if (ReadFileBytes(outboxPath, bytes)) {
    std::istringstream in(bytes);
    if (!outbox.Load(in)) {
      const std::wstring corrupt = outboxPath + kCorruptSuffix;
      MoveFileExW(outboxPath.c_str(), corrupt.c_str(), MOVEFILE_REPLACE_EXISTING);
      outbox.CountDrop();
      outboxHealthy = false;
    }
  } else if (GetFileAttributesW(outboxPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // Present but unusable: leave it for a later run and keep everything in memory.
    outboxPath.clear();
    outboxHealthy = false;
    stateHealthy = false;
    return;
  }
  outbox.Trim(nowUnix);
  publishedDropped = outbox.dropped;

  wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  sendEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  persistedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (wakeEvent == nullptr || sendEvent == nullptr || persistedEvent == nullptr) {
    outboxHealthy = false;
    return;
  }
  HANDLE network = CreateThread(nullptr, 0, Network, this, 0, nullptr);
  HANDLE persistence = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  if (network == nullptr || persistence == nullptr) {
    if (network != nullptr) CloseHandle(network);
    if (persistence != nullptr) CloseHandle(persistence);
    outboxHealthy = false;
    return;
  }
  CloseHandle(network);
  CloseHandle(persistence);
  running = true;
}

void WindowsOutbox::Enqueue(Record record, uint64_t nowUnix) {
  const bool admissible = Admissible(record);
  {
    Lock guard(lock);
    if (admissible) {
      outbox.records.push_back(std::move(record));
    } else {
      outbox.CountDrop();
    }
    outbox.Trim(nowUnix);
    revision += 1;
    publishedDropped = outbox.dropped;
  }
  if (wakeEvent != nullptr) SetEvent(wakeEvent);
}

void WindowsOutbox::PushState(const PersistentState& pushed) {
  {
    Lock guard(lock);
    static_cast<PersistentState&>(state) = pushed;
    revision += 1;
    hasState = true;
  }
  SetEvent(wakeEvent);
}

void WindowsOutbox::FlushForExit() {
  uint64_t target = 0;
  {
    Lock guard(lock);
    target = revision;
  }
  if (running) {
    SetEvent(wakeEvent);
    const ULONGLONG deadline = GetTickCount64() + kExitFlushMs;
    while (persistedRevision < target) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) break;
      WaitForSingleObject(persistedEvent, static_cast<DWORD>(deadline - now));
    }
    if (persistedRevision >= target) return;
  }
  OutputDebugStringW(kFlushIncompleteMessage);
}

DWORD WINAPI WindowsOutbox::Run(void* parameter) {
  static_cast<WindowsOutbox*>(parameter)->RunLoop();
  return 0;
}

DWORD WINAPI WindowsOutbox::Network(void* parameter) {
  static_cast<WindowsOutbox*>(parameter)->NetworkLoop();
  return 0;
}

void WindowsOutbox::RunLoop() {
  for (;;) {
    WaitForSingleObject(wakeEvent, kWorkerWakeMs);
    PersistencePass();
  }
}

void WindowsOutbox::PersistencePass() {
  EnterCriticalSection(&lock);
  if (resultReady) {
    if (resultAccepted) {
      if (!outbox.records.empty() && outbox.records.front().body == inFlight.body) {
        outbox.records.pop_front();
        revision += 1;
      }
    } else {
      nextSendTick = GetTickCount64() + kRetryDelayMs;
    }
    sending = false;
    resultReady = false;
  }
  const uint64_t target = revision;
  if (hasState && persistedRevision < target) {
    const Outbox outboxCopy = outbox;
    const StateSnapshot stateCopy = state;
    LeaveCriticalSection(&lock);

    MirrorRegistry(stateCopy);
    const bool stateWritten = WriteFileAtomically(statePath, stateCopy.Serialize());
    stateHealthy = stateWritten;
    if (!stateWritten) {
      outboxHealthy = false;
      return;
    }
    std::ostringstream out;
    outboxCopy.Save(out);
    const bool outboxWritten = WriteFileAtomically(outboxPath, out.str());
    outboxHealthy = outboxWritten;
    if (!outboxWritten) return;
    persistedRevision = target;
    SetEvent(persistedEvent);
    EnterCriticalSection(&lock);
  }
  if (hasState && persistedRevision >= revision && !sending && !outbox.records.empty() &&
      GetTickCount64() >= nextSendTick) {
    inFlight = outbox.records.front();
    sending = true;
    SetEvent(sendEvent);
  }
  LeaveCriticalSection(&lock);
}

void WindowsOutbox::NetworkLoop() {
  for (;;) {
    WaitForSingleObject(sendEvent, INFINITE);
    std::string endpoint;
    std::string body;
    {
      Lock guard(lock);
      endpoint = inFlight.endpoint;
      body = inFlight.body;
    }
    const bool accepted = sendCallback != nullptr && sendCallback(endpoint, body);
    {
      Lock guard(lock);
      resultReady = true;
      resultAccepted = accepted;
    }
    SetEvent(wakeEvent);
  }
}

void WindowsOutbox::MirrorRegistry(const StateSnapshot& snapshot) {
  ScopedRegKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, registryKeyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      key.Receive(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  SetString(key.Get(), L"TelemetryMetadataInstallId", snapshot.installId);
  SetQword(key.Get(), L"TelemetryEventSequence", snapshot.eventSequence);
  SetQword(key.Get(), L"TelemetryActivityCount", snapshot.activityCount);
  SetQword(key.Get(), L"InstallFirstSeenUnix", snapshot.installFirstSeenUnix);
  SetString(key.Get(), L"InstallDateProvenance", snapshot.installDateProvenance);
  const DWORD reliable = snapshot.orderingReliable ? 1 : 0;
  RegSetValueExW(key.Get(), L"TelemetryOrderingReliable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&reliable),
                 sizeof(reliable));
}

}  // namespace telemetry
