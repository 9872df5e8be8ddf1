#pragma once

#include <windows.h>

#include <string>

#include "common/Paths.h"
#include "telemetry/WindowsOutbox.h"

namespace testing_support {

// A worker-free outbox, with the program's file names in folder and its
// mirror under registryKey, whose persistence passes the test drives by hand.
struct ManualOutbox {
  ManualOutbox(const std::wstring& folder, const wchar_t* registryKey) {
    outbox.outboxPath = JoinPath(folder, L"telemetry-outbox-v3.dat");
    outbox.statePath = JoinPath(folder, L"telemetry-state-v3.dat");
    outbox.registryKeyPath = registryKey;
    outbox.sendEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    outbox.persistedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  }
  ~ManualOutbox() {
    CloseHandle(outbox.sendEvent);
    CloseHandle(outbox.persistedEvent);
  }
  ManualOutbox(const ManualOutbox&) = delete;
  ManualOutbox& operator=(const ManualOutbox&) = delete;
  void PushStateDirect(const telemetry::PersistentState& state) {
    static_cast<telemetry::PersistentState&>(outbox.state) = state;
    outbox.revision += 1;
    outbox.hasState = true;
  }
  telemetry::WindowsOutbox outbox;
};

}  // namespace testing_support
