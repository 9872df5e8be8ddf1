// Test program packed as the new TolvaneWin.exe in update archives, and used
// as a stand-in tray process that the updater waits for. Each run writes
// "launch-record.txt" beside itself: its command line and current folder.
//
// Options:
//   --hold <path>        keep <path> open without sharing while running
//   --wait-event <name>  do not exit before the named event is set (30 s at most)

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring OwnFolder() {
  wchar_t path[4096] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, 4096);
  std::wstring folder(path, length);
  const size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : folder.substr(0, slash);
}

// Written under a temporary name and moved into place, so a reader never
// sees half a record.
void WriteRecord() {
  wchar_t directory[4096] = {};
  GetCurrentDirectoryW(4096, directory);
  const std::string record = "cmd=" + ToUtf8(GetCommandLineW()) + "\ncwd=" + ToUtf8(directory) + "\n";
  const std::wstring folder = OwnFolder();
  const std::wstring temporary = folder + L"\\launch-record.tmp";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(temporary.c_str(), (folder + L"\\launch-record.txt").c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The test polls the file to learn when it is held; a poll that has it open
// at this moment makes the exclusive open fail, so try again for a while.
HANDLE HoldExclusively(const wchar_t* path) {
  const ULONGLONG deadline = GetTickCount64() + 20000;
  for (;;) {
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION || GetTickCount64() >= deadline) {
      return file;
    }
    Sleep(5);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  WriteRecord();
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return 0;
  HANDLE held = INVALID_HANDLE_VALUE;
  HANDLE event = nullptr;
  for (int i = 1; i + 1 < count; ++i) {
    const std::wstring option = argv[i];
    if (option == L"--hold") {
      held = HoldExclusively(argv[++i]);
    } else if (option == L"--wait-event") {
      event = OpenEventW(SYNCHRONIZE, FALSE, argv[++i]);
    }
  }
  LocalFree(argv);
  if (event != nullptr) {
    WaitForSingleObject(event, 30000);
    CloseHandle(event);
  }
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  return 0;
}
