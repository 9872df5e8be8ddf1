// Test stand-in for powershell.exe. Wine's prefix ships a stub that exits 0
// and does nothing; this one performs the single command the updater writes:
//
//   powershell.exe -NoProfile -ExecutionPolicy Bypass -Command
//     "Expand-Archive -LiteralPath '<zip>' -DestinationPath '<folder>' -Force"
//
// It reads STORED and DEFLATE entries, creates folders, overwrites files and
// exits with 1 when the command or the archive is bad, as PowerShell does when
// its last command fails. It replaces the test prefix's stub at the system
// path and never ships.
//
// Test hooks, taken from the environment:
//   TOLVANE_STANDIN_LOG    append the full command line (UTF-8) to this file
//   TOLVANE_STANDIN_PAUSE  after extracting, signal event "<value>-extracted"
//                          and wait up to 30 s for event "<value>-go"

#include <windows.h>
#include <shellapi.h>

#include <zlib.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kFailure = 1;

bool IsSingleQuote(wchar_t c) {
  return c == L'\'' || c == L'\x2018' || c == L'\x2019' || c == L'\x201A' || c == L'\x201B';
}

std::wstring EnvironmentValue(const wchar_t* name) {
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return L"";
  std::wstring value(needed, L'\0');
  value.resize(GetEnvironmentVariableW(name, value.data(), needed));
  return value;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::wstring FromCodePage(UINT codePage, const std::string& bytes) {
  if (bytes.empty()) return L"";
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

void AppendLog(const std::wstring& path, const std::wstring& line) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string bytes = ToUtf8(line) + "\n";
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// ---- The PowerShell command -------------------------------------------------

struct Token {
  std::wstring text;
  bool quoted = false;
};

// Splits a command into bare words and single-quoted literals. A quote inside
// a literal is written twice; any of PowerShell's single-quote characters
// opens, closes and escapes.
bool Tokenize(const std::wstring& script, std::vector<Token>& tokens) {
  size_t i = 0;
  while (i < script.size()) {
    if (script[i] == L' ' || script[i] == L'\t') {
      ++i;
      continue;
    }
    Token token;
    if (IsSingleQuote(script[i])) {
      token.quoted = true;
      ++i;
      for (;;) {
        if (i >= script.size()) return false;  // Unterminated literal.
        if (IsSingleQuote(script[i])) {
          if (i + 1 < script.size() && IsSingleQuote(script[i + 1])) {
            token.text.push_back(script[i + 1]);
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token.text.push_back(script[i++]);
      }
      // A literal must stand alone, not run into the next word.
      if (i < script.size() && script[i] != L' ' && script[i] != L'\t') return false;
    } else {
      while (i < script.size() && script[i] != L' ' && script[i] != L'\t') {
        if (IsSingleQuote(script[i]) || script[i] == L'"') return false;
        token.text.push_back(script[i++]);
      }
    }
    tokens.push_back(token);
  }
  return true;
}

struct ExpandCommand {
  std::wstring literalPath;
  std::wstring destinationPath;
  bool force = false;
};

bool ParseExpandCommand(const std::wstring& script, ExpandCommand& command) {
  std::vector<Token> tokens;
  if (!Tokenize(script, tokens) || tokens.empty()) return false;
  if (tokens[0].quoted || _wcsicmp(tokens[0].text.c_str(), L"Expand-Archive") != 0) return false;
  bool haveLiteral = false;
  bool haveDestination = false;
  for (size_t i = 1; i < tokens.size(); ++i) {
    const Token& name = tokens[i];
    if (name.quoted) return false;
    if (_wcsicmp(name.text.c_str(), L"-Force") == 0) {
      command.force = true;
      continue;
    }
    if (i + 1 >= tokens.size()) return false;
    if (_wcsicmp(name.text.c_str(), L"-LiteralPath") == 0 && !haveLiteral) {
      command.literalPath = tokens[++i].text;
      haveLiteral = true;
    } else if (_wcsicmp(name.text.c_str(), L"-DestinationPath") == 0 && !haveDestination) {
      command.destinationPath = tokens[++i].text;
      haveDestination = true;
    } else {
      return false;
    }
  }
  return haveLiteral && haveDestination;
}

// ---- ZIP reading --------------------------------------------------------------

constexpr uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr uint32_t kEndOfCentralSignature = 0x06054b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndOfCentralSize = 22;

struct Reader {
  const std::string& bytes;
  bool Has(size_t offset, size_t size) const { return offset <= bytes.size() && size <= bytes.size() - offset; }
  uint16_t U16(size_t offset) const {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[offset]) | static_cast<uint8_t>(bytes[offset + 1]) << 8);
  }
  uint32_t U32(size_t offset) const { return U16(offset) | static_cast<uint32_t>(U16(offset + 2)) << 16; }
};

struct CentralEntry {
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t size = 0;
  uint32_t localOffset = 0;
  std::string rawName;
};

bool FindEndOfCentral(const Reader& in, size_t& offset) {
  if (in.bytes.size() < kEndOfCentralSize) return false;
  const size_t last = in.bytes.size() - kEndOfCentralSize;
  const size_t first = last > 0xFFFF ? last - 0xFFFF : 0;
  for (size_t at = last + 1; at-- > first;) {
    if (in.U32(at) == kEndOfCentralSignature && in.U16(at + 20) == in.bytes.size() - at - kEndOfCentralSize) {
      offset = at;
      return true;
    }
  }
  return false;
}

bool ReadCentralDirectory(const Reader& in, std::vector<CentralEntry>& entries, size_t& centralStart) {
  size_t end = 0;
  if (!FindEndOfCentral(in, end)) return false;
  if (in.U16(end + 4) != 0 || in.U16(end + 6) != 0) return false;  // Multi-part archives are not ours.
  const uint16_t count = in.U16(end + 10);
  const uint32_t centralSize = in.U32(end + 12);
  centralStart = in.U32(end + 16);
  if (in.U16(end + 8) != count || centralStart > end || centralSize != end - centralStart) return false;
  size_t at = centralStart;
  for (uint16_t i = 0; i < count; ++i) {
    if (!in.Has(at, kCentralHeaderSize) || in.U32(at) != kCentralHeaderSignature) return false;
    CentralEntry entry;
    entry.flags = in.U16(at + 8);
    entry.method = in.U16(at + 10);
    entry.crc = in.U32(at + 16);
    entry.compressedSize = in.U32(at + 20);
    entry.size = in.U32(at + 24);
    const size_t nameLength = in.U16(at + 28);
    const size_t extraLength = in.U16(at + 30);
    const size_t commentLength = in.U16(at + 32);
    entry.localOffset = in.U32(at + 42);
    const size_t variable = nameLength + extraLength + commentLength;
    if (!in.Has(at + kCentralHeaderSize, variable)) return false;
    entry.rawName = in.bytes.substr(at + kCentralHeaderSize, nameLength);
    entries.push_back(entry);
    at += kCentralHeaderSize + variable;
  }
  return at == end;
}

bool Inflate(const char* data, size_t size, std::string& out, size_t expected) {
  z_stream stream = {};
  if (inflateInit2(&stream, -15) != Z_OK) return false;
  out.assign(expected, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = static_cast<uInt>(size);
  // One spare byte shows output beyond the declared size.
  std::string spare(1, '\0');
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(expected);
  int result = inflate(&stream, Z_FINISH);
  if (result == Z_BUF_ERROR && stream.avail_out == 0) {
    stream.next_out = reinterpret_cast<Bytef*>(spare.data());
    stream.avail_out = 1;
    result = inflate(&stream, Z_FINISH);
  }
  const bool ok = result == Z_STREAM_END && stream.total_out == expected && stream.avail_in == 0;
  inflateEnd(&stream);
  return ok;
}

bool ReadEntryData(const Reader& in, const CentralEntry& entry, size_t centralStart, std::string& data) {
  const size_t at = entry.localOffset;
  if (!in.Has(at, kLocalHeaderSize) || in.U32(at) != kLocalHeaderSignature) return false;
  if (in.U16(at + 8) != entry.method) return false;
  const size_t start = at + kLocalHeaderSize + in.U16(at + 26) + in.U16(at + 28);
  if (start > centralStart || entry.compressedSize > centralStart - start) return false;
  const char* raw = in.bytes.data() + start;
  if (entry.method == 0) {
    if (entry.compressedSize != entry.size) return false;
    data.assign(raw, entry.size);
  } else if (entry.method == 8) {
    if (!Inflate(raw, entry.compressedSize, data, entry.size)) return false;
  } else {
    return false;
  }
  const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
  return crc == entry.crc;
}

// Entry names become relative paths under the destination; a name that would
// leave it is refused, as PowerShell does.
bool EntryPath(const CentralEntry& entry, std::wstring& relative, bool& isFolder) {
  relative = FromCodePage((entry.flags & 0x0800) ? CP_UTF8 : 437, entry.rawName);
  for (wchar_t& c : relative) {
    if (c == L'/') c = L'\\';
  }
  if (relative.empty() || relative[0] == L'\\' || relative.find(L':') != std::wstring::npos) return false;
  isFolder = relative.back() == L'\\';
  size_t start = 0;
  while (start < relative.size()) {
    size_t end = relative.find(L'\\', start);
    if (end == std::wstring::npos) end = relative.size();
    if (relative.compare(start, end - start, L"..") == 0) return false;
    start = end + 1;
  }
  return true;
}

bool CreateFolders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteWholeFile(const std::wstring& path, const std::string& data) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = data.empty() || (WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
                                   written == data.size());
  CloseHandle(file);
  return ok;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(file, &size) != FALSE && size.QuadPart < 0x40000000;
  if (ok) {
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                           read == bytes.size());
  }
  CloseHandle(file);
  return ok;
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder + name;
  return folder + L'\\' + name;
}

bool ExpandArchive(const ExpandCommand& command) {
  const std::wstring& zip = command.literalPath;
  if (zip.size() < 4 || _wcsicmp(zip.c_str() + zip.size() - 4, L".zip") != 0) return false;
  std::string bytes;
  if (!ReadWholeFile(zip, bytes)) return false;
  const Reader in{bytes};
  std::vector<CentralEntry> entries;
  size_t centralStart = 0;
  if (!ReadCentralDirectory(in, entries, centralStart)) return false;

  wchar_t full[MAX_PATH * 4] = {};
  if (GetFullPathNameW(command.destinationPath.c_str(), MAX_PATH * 4, full, nullptr) == 0) return false;
  const std::wstring destination = full;
  if (!CreateFolders(destination)) return false;

  for (const CentralEntry& entry : entries) {
    if (entry.flags & 0x0001) return false;  // Encrypted.
    std::wstring relative;
    bool isFolder = false;
    if (!EntryPath(entry, relative, isFolder)) return false;
    const std::wstring path = Join(destination, relative);
    if (isFolder) {
      if (!CreateFolders(path.substr(0, path.size() - 1))) return false;
      continue;
    }
    std::string data;
    if (!ReadEntryData(in, entry, centralStart, data)) return false;
    const size_t slash = path.find_last_of(L'\\');
    if (!CreateFolders(path.substr(0, slash))) return false;
    if (!command.force && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    if (!WriteWholeFile(path, data)) return false;
  }
  return true;
}

void PauseIfAsked() {
  const std::wstring name = EnvironmentValue(L"TOLVANE_STANDIN_PAUSE");
  if (name.empty()) return;
  HANDLE extracted = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-extracted").c_str());
  HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, (name + L"-go").c_str());
  if (extracted != nullptr) SetEvent(extracted);
  if (go != nullptr) WaitForSingleObject(go, 30000);
  if (extracted != nullptr) CloseHandle(extracted);
  if (go != nullptr) CloseHandle(go);
}

}  // namespace

int wmain() {
  const std::wstring log = EnvironmentValue(L"TOLVANE_STANDIN_LOG");
  if (!log.empty()) AppendLog(log, GetCommandLineW());

  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return kFailure;
  const wchar_t* const kExpected[] = {L"-NoProfile", L"-ExecutionPolicy", L"Bypass", L"-Command"};
  bool shapeOk = count > 5;
  for (int i = 0; shapeOk && i < 4; ++i) shapeOk = _wcsicmp(argv[i + 1], kExpected[i]) == 0;
  std::wstring script;
  for (int i = 5; shapeOk && i < count; ++i) {
    if (!script.empty()) script.push_back(L' ');
    script += argv[i];
  }
  LocalFree(argv);
  if (!shapeOk) return kFailure;

  ExpandCommand command;
  if (!ParseExpandCommand(script, command)) return kFailure;
  if (!ExpandArchive(command)) return kFailure;
  PauseIfAsked();
  return 0;
}
