#include "tests/support/Processes.h"

#include <cstdio>
#include <map>

#include "common/Paths.h"
#include "common/Text.h"
#include "tests/support/Platform.h"

namespace testing_support {

namespace {

std::wstring BuildEnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& extra) {
  // Windows wants the block sorted case-insensitively; a map keyed on the
  // upper-cased name keeps one entry per variable.
  std::map<std::wstring, std::wstring> entries;
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* p = current; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) {
    std::wstring entry = p;
    const size_t eq = entry.find(L'=', 1);
    if (eq == std::wstring::npos) continue;
    std::wstring upper = entry.substr(0, eq);
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    entries[upper] = entry;
  }
  if (current != nullptr) FreeEnvironmentStringsW(current);
  for (const auto& [name, value] : extra) {
    std::wstring upper = name;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    entries[upper] = name + L"=" + value;
  }
  std::wstring block;
  for (const auto& [key, entry] : entries) {
    block += entry;
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

// Prints "CreateProcessW of <what> failed: error <n> (<system text>)".
bool ReportStartFailure(const std::wstring& what, DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = text != nullptr ? text : L"";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
    message.pop_back();
  }
  std::printf("CreateProcessW of \"%s\" failed: error %lu (%s)\n", WideToUtf8(what).c_str(),
              static_cast<unsigned long>(error), WideToUtf8(message).c_str());
  std::fflush(stdout);
  return false;
}

}  // namespace

ChildProcess::~ChildProcess() {
  Kill();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : process(other.process), processId(other.processId) {
  other.process = nullptr;
  other.processId = 0;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Kill();
    process = other.process;
    processId = other.processId;
    other.process = nullptr;
    other.processId = 0;
  }
  return *this;
}

bool ChildProcess::Start(const std::wstring& exe, const std::wstring& arguments,
                         const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                         const std::wstring& workingDirectory) {
  Kill();
  std::wstring commandLine = QuoteForCommandLine(exe);
  if (!arguments.empty()) commandLine += L" " + arguments;
  std::wstring block = BuildEnvironmentBlock(environment);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      block.data(), workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup,
                      &info)) {
    return ReportStartFailure(exe, GetLastError());
  }
  CloseHandle(info.hThread);
  process = info.hProcess;
  processId = info.dwProcessId;
  return true;
}

bool ChildProcess::StartCommandLine(const std::wstring& commandLine) {
  Kill();
  std::wstring mutableLine = commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return ReportStartFailure(commandLine, GetLastError());
  }
  CloseHandle(info.hThread);
  process = info.hProcess;
  processId = info.dwProcessId;
  return true;
}

bool ChildProcess::Wait(unsigned timeoutMs, DWORD& exitCode) {
  if (process == nullptr) return false;
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(process, &exitCode) != FALSE;
}

bool ChildProcess::Running() const {
  return process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

void ChildProcess::Kill() {
  if (process == nullptr) return;
  if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
  }
  CloseHandle(process);
  process = nullptr;
  processId = 0;
}


std::wstring TolvaneWinExePath() {
  return JoinPath(ExecutableDirectory(), L"TolvaneWin.exe");
}

}  // namespace testing_support
