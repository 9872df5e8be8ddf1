#include "bench/ProcessCounters.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstring>
#include <vector>

#include "bench/Bench.h"

namespace bench {

namespace {

constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kProcessListBytes = 1 << 20;
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
// CreateTime, UserTime and KernelTime follow 24 bytes of other counters
// inside the entry's first reserved block.
constexpr size_t kUserTimeOffset = 40;
constexpr size_t kKernelTimeOffset = 48;

using QuerySystemInformationFn = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

double FileTimeMs(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<double>(value.QuadPart) / 10000.0;
}

// The system's process list: CPU time and handles of one process.
bool ReadProcessList(DWORD processId, double& cpuMs, double& handles) {
  auto query = reinterpret_cast<QuerySystemInformationFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return false;
  std::vector<BYTE> list(kProcessListBytes);
  ULONG length = 0;
  NTSTATUS status = query(kSystemProcessInformation, list.data(), static_cast<ULONG>(list.size()), &length);
  if (status == kInfoLengthMismatch && length > list.size()) {
    list.resize(length + kProcessListBytes);
    status = query(kSystemProcessInformation, list.data(), static_cast<ULONG>(list.size()), &length);
  }
  if (status != 0) return false;
  for (size_t offset = 0;;) {
    const BYTE* entry = list.data() + offset;
    const auto* process = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(entry);
    if (static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(process->UniqueProcessId)) == processId) {
      LARGE_INTEGER user;
      LARGE_INTEGER kernel;
      memcpy(&user, entry + kUserTimeOffset, sizeof(user));
      memcpy(&kernel, entry + kKernelTimeOffset, sizeof(kernel));
      cpuMs = static_cast<double>(user.QuadPart + kernel.QuadPart) / 10000.0;
      handles = process->HandleCount;
      return true;
    }
    if (process->NextEntryOffset == 0) return false;
    offset += process->NextEntryOffset;
  }
}

// Windows documents PagefileUsage as the same commit charge as PrivateUsage;
// Wine fills only the former for another process.
bool ReadPrivateBytes(HANDLE process, ProcessSample& sample) {
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof(memory);
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
    return false;
  }
  sample.privateFromPagefile = memory.PrivateUsage == 0;
  sample.privateBytes = static_cast<double>(sample.privateFromPagefile ? memory.PagefileUsage : memory.PrivateUsage);
  return true;
}

}  // namespace

bool SampleProcess(HANDLE process, DWORD processId, bool wine, ProcessSample& sample) {
  sample.wallMs = NowMs();
  if (!ReadPrivateBytes(process, sample)) return false;
  // Wine answers GetProcessTimes of another process with figures that do
  // not advance, and the handle count with 0.
  if (wine) return ReadProcessList(processId, sample.cpuMs, sample.handles);

  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return false;
  sample.cpuMs = FileTimeMs(kernel) + FileTimeMs(user);
  DWORD handles = 0;
  if (!GetProcessHandleCount(process, &handles)) return false;
  sample.handles = handles;
  return true;
}

}  // namespace bench
