#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "telemetry/Outbox.h"
#include "telemetry/StateSnapshot.h"

namespace telemetry {

using SendCallback = bool (*)(const std::string& endpoint, const std::string& body);

// Writes bytes to path + ".tmp", flushes, and moves it over path.
bool WriteFileAtomically(const std::wstring& path, const std::string& bytes);

// The queue of events and the identity state, kept on disk and delivered by
// two worker threads. Producers only touch memory under the lock.
class WindowsOutbox {
 public:
  WindowsOutbox();
  WindowsOutbox(const WindowsOutbox&) = delete;
  WindowsOutbox& operator=(const WindowsOutbox&) = delete;

  void Start(const std::wstring& directory, const std::wstring& registryKeyPath, SendCallback sendCallback,
             uint64_t nowUnix);
  void Enqueue(Record record, uint64_t nowUnix);
  void PushState(const PersistentState& state);
  void FlushForExit();

  static DWORD WINAPI Run(void* parameter);
  static DWORD WINAPI Network(void* parameter);
  void RunLoop();
  void NetworkLoop();
  void MirrorRegistry(const StateSnapshot& state);

  // One pass of the persistence worker after its wait; RunLoop repeats it.
  void PersistencePass();

  CRITICAL_SECTION lock;
  HANDLE wakeEvent = nullptr;
  HANDLE sendEvent = nullptr;
  HANDLE persistedEvent = nullptr;
  std::wstring outboxPath;
  std::wstring statePath;
  std::wstring registryKeyPath;
  SendCallback sendCallback = nullptr;
  Outbox outbox;
  StateSnapshot state;
  Record inFlight;
  bool hasState = false;
  bool sending = false;
  bool resultReady = false;
  bool resultAccepted = false;
  uint64_t revision = 0;
  std::atomic<uint64_t> persistedRevision{0};
  std::atomic<uint64_t> publishedDropped{0};
  std::atomic<bool> outboxHealthy{true};
  std::atomic<bool> stateHealthy{true};
  std::atomic<bool> running{false};
  uint64_t nextSendTick = 0;
};

}  // namespace telemetry

extern telemetry::WindowsOutbox* g_telemetryOutbox;
