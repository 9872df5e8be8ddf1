#include <gtest/gtest.h>

#include <sstream>

#include "common/Paths.h"
#include "shell/ShellConstants.h"
#include "telemetry/WindowsOutbox.h"
#include "tests/support/ManualOutbox.h"
#include "tests/support/Platform.h"
#include "tests/support/ScratchDirectories.h"
#include "tests/support/ScratchRegistry.h"

using namespace testing_support;
using telemetry::Outbox;
using telemetry::Record;
using telemetry::WindowsOutbox;

namespace {

constexpr wchar_t kTestKey[] = L"Software\\TolvaneWin";

Record MakeRecord(uint64_t created, const std::string& body) {
  Record record;
  record.createdUnix = created;
  record.endpoint = "http://127.0.0.1:9/t";
  record.body = body;
  return record;
}

telemetry::PersistentState MakeState(uint64_t sequence) {
  telemetry::PersistentState state;
  state.installId = "ID-1";
  state.installDateProvenance = "created";
  state.installFirstSeenUnix = 1000;
  state.eventSequence = sequence;
  state.activityCount = 3;
  state.firstRunUnix = 1000;
  state.orderingReliable = true;
  return state;
}

std::string OutboxFileText(const Outbox& queue) {
  std::ostringstream out;
  queue.Save(out);
  return out.str();
}

}  // namespace

TEST(Telemetry_WriteFileAtomically, ReplacesWholeFileAndLeavesNoTemporary) {
  ScratchDirectories dirs;
  const std::wstring path = JoinPath(dirs.root(), L"f.dat");
  ASSERT_TRUE(telemetry::WriteFileAtomically(path, "first version, longer"));
  ASSERT_TRUE(telemetry::WriteFileAtomically(path, std::string("a\0b\n", 4)));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path, bytes));
  EXPECT_EQ(bytes, std::string("a\0b\n", 4));
  EXPECT_FALSE(FileExists(path + L".tmp"));
  EXPECT_FALSE(telemetry::WriteFileAtomically(L"", "x"));
}

TEST(Telemetry_WriteFileAtomically, FailureKeepsPreviousFile) {
  ScratchDirectories dirs;
  const std::wstring path = JoinPath(dirs.root(), L"f.dat");
  ASSERT_TRUE(telemetry::WriteFileAtomically(path, "old"));
  // The temporary name held open without sharing: the write cannot start.
  HANDLE blocker = CreateFileW((path + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(telemetry::WriteFileAtomically(path, "new"));
  CloseHandle(blocker);
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path, bytes));
  EXPECT_EQ(bytes, "old");
  // A missing folder fails without creating anything.
  EXPECT_FALSE(telemetry::WriteFileAtomically(JoinPath(dirs.root(), L"no\\such.dat"), "x"));
}

TEST(Telemetry_WindowsOutboxStart, EmptyFolderDisablesPersistence) {
  auto* outbox = new WindowsOutbox();  // never destroyed, like the program's
  outbox->Start(L"", kTestKey, nullptr, 1000);
  EXPECT_FALSE(outbox->running);
  EXPECT_FALSE(outbox->outboxHealthy);
  EXPECT_FALSE(outbox->stateHealthy);
  EXPECT_TRUE(outbox->outboxPath.empty());
  EXPECT_EQ(outbox->wakeEvent, nullptr);
  // Records still collect in memory under the limits.
  outbox->Enqueue(MakeRecord(1000, "{}"), 1000);
  EXPECT_EQ(outbox->outbox.records.size(), 1u);
}

TEST(Telemetry_WindowsOutboxStart, RefusedFileIsSetAsideAndCountedOnce) {
  ScratchDirectories dirs;
  const std::wstring path = JoinPath(dirs.root(), L"telemetry-outbox-v3.dat");
  ASSERT_TRUE(WriteFileBytes(path, "not an outbox"));
  ASSERT_TRUE(WriteFileBytes(path + L".corrupt", "older"));
  auto* outbox = new WindowsOutbox();
  outbox->Start(dirs.root(), kTestKey, nullptr, 1000);
  EXPECT_TRUE(outbox->running);
  EXPECT_FALSE(outbox->outboxHealthy);
  EXPECT_EQ(outbox->publishedDropped, 1u);
  EXPECT_FALSE(FileExists(path));
  std::string moved;
  ASSERT_TRUE(ReadFileBytes(path + L".corrupt", moved));
  EXPECT_EQ(moved, "not an outbox");
}

TEST(Telemetry_WindowsOutboxStart, OversizedFileTurnsPersistenceOffAndStaysUntouched) {
  ScratchDirectories dirs;
  const std::wstring path = JoinPath(dirs.root(), L"telemetry-outbox-v3.dat");
  ASSERT_TRUE(WriteFileBytes(path, std::string(3145729, 'x')));
  auto* outbox = new WindowsOutbox();
  outbox->Start(dirs.root(), kTestKey, nullptr, 1000);
  EXPECT_FALSE(outbox->running);
  EXPECT_FALSE(outbox->outboxHealthy);
  EXPECT_FALSE(outbox->stateHealthy);
  EXPECT_TRUE(outbox->outboxPath.empty());
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FileExists(path + L".corrupt"));
}

TEST(Telemetry_WindowsOutboxStart, LoadsAndTrimsTheStoredQueue) {
  ScratchDirectories dirs;
  Outbox stored;
  stored.dropped = 4;
  stored.records.push_back(MakeRecord(100, "old"));  // more than seven days before 1000000
  stored.records.push_back(MakeRecord(999000, "young"));
  ASSERT_TRUE(WriteFileBytes(JoinPath(dirs.root(), L"telemetry-outbox-v3.dat"), OutboxFileText(stored)));
  auto* outbox = new WindowsOutbox();
  outbox->Start(dirs.root(), kTestKey, nullptr, 1000000);
  ASSERT_TRUE(outbox->running);
  EXPECT_TRUE(outbox->outboxHealthy);
  EXPECT_EQ(outbox->publishedDropped, 5u);
  ASSERT_EQ(outbox->outbox.records.size(), 1u);
  EXPECT_EQ(outbox->outbox.records.front().body, "young");
}

TEST(Telemetry_WindowsOutboxEnqueue, TrimsAgainstLimitsAndRefusesUnloadableRecords) {
  WindowsOutbox outbox;
  for (int i = 0; i < 512; ++i) outbox.Enqueue(MakeRecord(5000, "{" + std::to_string(i) + "}"), 5000);
  EXPECT_EQ(outbox.outbox.records.size(), 512u);
  EXPECT_EQ(outbox.publishedDropped, 0u);
  outbox.Enqueue(MakeRecord(5000, "{last}"), 5000);
  EXPECT_EQ(outbox.outbox.records.size(), 512u);
  EXPECT_EQ(outbox.outbox.records.front().body, "{1}");
  EXPECT_EQ(outbox.outbox.records.back().body, "{last}");
  EXPECT_EQ(outbox.publishedDropped, 1u);

  // A body the outbox file could not hold would make the whole file unreadable.
  const uint64_t revision = outbox.revision;
  outbox.Enqueue(MakeRecord(5000, std::string(65537, 'b')), 5000);
  EXPECT_EQ(outbox.outbox.records.back().body, "{last}");
  EXPECT_EQ(outbox.publishedDropped, 2u);
  EXPECT_EQ(outbox.revision, revision + 1);
  // Nor one whose request URL could never be built: it would stay first and
  // hold back every later event. Each '%' takes three characters encoded.
  outbox.Enqueue(MakeRecord(5000, std::string(11000, '%')), 5000);
  EXPECT_EQ(outbox.outbox.records.back().body, "{last}");
  EXPECT_EQ(outbox.publishedDropped, 3u);
  outbox.Enqueue(MakeRecord(5000, std::string(10000, '%')), 5000);
  EXPECT_EQ(outbox.outbox.records.back().body.size(), 10000u);
}

// Every drop counts up to the largest count and stays there, never back to 0.
TEST(Telemetry_WindowsOutbox, DroppedCountStaysAtItsMaximum) {
  WindowsOutbox outbox;
  outbox.outbox.dropped = UINT64_MAX;
  outbox.Enqueue(MakeRecord(5000, std::string(65537, 'b')), 5000);
  EXPECT_EQ(outbox.publishedDropped, UINT64_MAX);

  ScratchDirectories dirs;
  ASSERT_TRUE(WriteFileBytes(JoinPath(dirs.root(), L"telemetry-outbox-v3.dat"), "not an outbox"));
  auto* started = new WindowsOutbox();  // never destroyed, like the program's
  started->outbox.dropped = UINT64_MAX;
  started->Start(dirs.root(), kTestKey, nullptr, 1000);
  EXPECT_EQ(started->publishedDropped, UINT64_MAX);
}

// A worker-free outbox in scratch folders with a private HKCU.
class Telemetry_WindowsOutboxPersist : public ::testing::Test {
 protected:
  // Pushes a state and queues one record per body, as producers would.
  void QueueAfterState(std::initializer_list<const char*> bodies) {
    manual.PushStateDirect(MakeState(1));
    for (const char* body : bodies) manual.outbox.Enqueue(MakeRecord(5000, body), 5000);
  }

  ScratchDirectories dirs;
  ScratchRegistry registry;
  ManualOutbox manual{dirs.root(), kTestKey};
};

TEST_F(Telemetry_WindowsOutboxPersist, NothingIsWrittenOrSentBeforeTheFirstState) {
  manual.outbox.Enqueue(MakeRecord(5000, "{}"), 5000);
  manual.outbox.PersistencePass();
  EXPECT_FALSE(FileExists(manual.outbox.outboxPath));
  EXPECT_FALSE(manual.outbox.sending);
  EXPECT_FALSE(RegValueExists(HKEY_CURRENT_USER, kTestKey, L"TelemetryEventSequence"));
}

TEST_F(Telemetry_WindowsOutboxPersist, WritesMirrorStateAndQueueThenDispatchesOnce) {
  manual.PushStateDirect(MakeState(7));
  manual.outbox.Enqueue(MakeRecord(5000, "{\"eventId\":\"A\"}"), 5000);
  manual.outbox.PersistencePass();

  EXPECT_EQ(manual.outbox.persistedRevision, manual.outbox.revision);
  std::string state, queue;
  ASSERT_TRUE(ReadFileBytes(manual.outbox.statePath, state));
  EXPECT_EQ(state, "TVTS3\nID-1\ncreated\n1000\n7\n3\n1000\n1\n");
  ASSERT_TRUE(ReadFileBytes(manual.outbox.outboxPath, queue));
  EXPECT_EQ(queue, OutboxFileText(manual.outbox.outbox));
  EXPECT_TRUE(manual.outbox.stateHealthy);
  EXPECT_TRUE(manual.outbox.outboxHealthy);

  DWORD type = 0;
  std::wstring text;
  std::string raw;
  ASSERT_TRUE(RegReadRaw(HKEY_CURRENT_USER, kTestKey, L"TelemetryMetadataInstallId", type, text, raw));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text, L"ID-1");
  EXPECT_EQ(raw.size(), 10u);
  ASSERT_TRUE(RegReadRaw(HKEY_CURRENT_USER, kTestKey, L"TelemetryEventSequence", type, text, raw));
  EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(raw, std::string("\x07\0\0\0\0\0\0\0", 8));
  ASSERT_TRUE(RegReadRaw(HKEY_CURRENT_USER, kTestKey, L"TelemetryOrderingReliable", type, text, raw));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

  // Dispatched: the front record is in flight and the sender was woken.
  EXPECT_TRUE(manual.outbox.sending);
  EXPECT_EQ(manual.outbox.inFlight.body, "{\"eventId\":\"A\"}");
  EXPECT_EQ(WaitForSingleObject(manual.outbox.sendEvent, 0), WAIT_OBJECT_0);
  // A second pass dispatches nothing more while one request is in flight.
  manual.outbox.PersistencePass();
  EXPECT_EQ(WaitForSingleObject(manual.outbox.sendEvent, 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(Telemetry_WindowsOutboxPersist, AcknowledgementRemovesFrontAndPersistsBeforeNextSend) {
  QueueAfterState({"{1}", "{2}"});
  manual.outbox.PersistencePass();
  ASSERT_EQ(manual.outbox.inFlight.body, "{1}");

  manual.outbox.resultReady = true;
  manual.outbox.resultAccepted = true;
  manual.outbox.PersistencePass();
  ASSERT_EQ(manual.outbox.outbox.records.size(), 1u);
  std::string queue;
  ASSERT_TRUE(ReadFileBytes(manual.outbox.outboxPath, queue));
  EXPECT_EQ(queue, OutboxFileText(manual.outbox.outbox));
  EXPECT_EQ(manual.outbox.inFlight.body, "{2}");
  EXPECT_TRUE(manual.outbox.sending);
}

TEST_F(Telemetry_WindowsOutboxPersist, RefusalKeepsRecordAndWaitsFifteenSeconds) {
  QueueAfterState({"{1}"});
  manual.outbox.PersistencePass();
  manual.outbox.resultReady = true;
  manual.outbox.resultAccepted = false;
  const ULONGLONG before = GetTickCount64();
  manual.outbox.PersistencePass();
  EXPECT_EQ(manual.outbox.outbox.records.size(), 1u);
  EXPECT_FALSE(manual.outbox.sending);
  EXPECT_GE(manual.outbox.nextSendTick, before + 15000);
  EXPECT_LE(manual.outbox.nextSendTick, GetTickCount64() + 15000);
  // Once the delay has passed the same record goes out again.
  manual.outbox.nextSendTick = 0;
  manual.outbox.PersistencePass();
  EXPECT_TRUE(manual.outbox.sending);
  EXPECT_EQ(manual.outbox.inFlight.body, "{1}");
}

TEST_F(Telemetry_WindowsOutboxPersist, LateAcknowledgementOfTrimmedRecordRemovesNothing) {
  QueueAfterState({"{1}"});
  manual.outbox.PersistencePass();
  // The record in flight ages out while the request runs.
  manual.outbox.Enqueue(MakeRecord(700000, "{2}"), 700000);
  ASSERT_EQ(manual.outbox.outbox.records.front().body, "{2}");
  manual.outbox.resultReady = true;
  manual.outbox.resultAccepted = true;
  manual.outbox.PersistencePass();
  ASSERT_EQ(manual.outbox.outbox.records.size(), 1u);
  EXPECT_EQ(manual.outbox.outbox.records.front().body, "{2}");
}

TEST_F(Telemetry_WindowsOutboxPersist, FailedStateWriteBlocksSendingUntilItSucceeds) {
  QueueAfterState({"{1}"});
  HANDLE blocker = CreateFileW((manual.outbox.statePath + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
  manual.outbox.PersistencePass();
  EXPECT_FALSE(manual.outbox.stateHealthy);
  EXPECT_FALSE(manual.outbox.outboxHealthy);
  EXPECT_FALSE(manual.outbox.sending);
  EXPECT_FALSE(FileExists(manual.outbox.outboxPath));
  // The mirror is still written.
  EXPECT_TRUE(RegValueExists(HKEY_CURRENT_USER, kTestKey, L"TelemetryEventSequence"));
  CloseHandle(blocker);
  manual.outbox.PersistencePass();
  EXPECT_TRUE(manual.outbox.stateHealthy);
  EXPECT_TRUE(manual.outbox.outboxHealthy);
  EXPECT_TRUE(manual.outbox.sending);
}

TEST(Telemetry_WindowsOutboxFlush, ReturnsAtOnceWhenPersistedAndWaitsAtMostHalfASecond) {
  WindowsOutbox outbox;
  outbox.running = true;
  outbox.wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  outbox.persistedEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  ULONGLONG start = GetTickCount64();
  outbox.FlushForExit();
  // Well under the half second it would wait, with room for a busy machine.
  EXPECT_LT(GetTickCount64() - start, 300u);

  outbox.revision = 3;  // nothing persists it: no worker runs here
  start = GetTickCount64();
  outbox.FlushForExit();
  const ULONGLONG waited = GetTickCount64() - start;
  EXPECT_GE(waited, 450u);
  EXPECT_LT(waited, 2500u) << "gives up instead of waiting on";
  CloseHandle(outbox.wakeEvent);
  CloseHandle(outbox.persistedEvent);
}

TEST(Telemetry_WindowsOutboxThreads, DeliversEachRecordOnceAndEmptiesTheFileAfterAcknowledgement) {
  ScratchDirectories dirs;
  ScratchRegistry registry;
  static std::atomic<int> calls{0};
  calls = 0;
  auto* outbox = new WindowsOutbox();
  outbox->Start(dirs.root(), kTestKey,
                [](const std::string&, const std::string& body) {
                  calls++;
                  return body == "{ok}";
                },
                5000);
  ASSERT_TRUE(outbox->running);
  outbox->PushState(MakeState(1));
  outbox->Enqueue(MakeRecord(5000, "{ok}"), 5000);
  ASSERT_TRUE(WaitFor([&] { return calls >= 1; }, 5000));
  ASSERT_TRUE(WaitFor(
      [&] {
        std::string queue;
        return ReadFileBytes(outbox->outboxPath, queue) && queue == "TVTQ3\n0\n0\n";
      },
      5000));
  EXPECT_EQ(calls, 1);
}
