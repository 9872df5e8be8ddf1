#include "update/UpdateDownload.h"

#include <wincrypt.h>

#include <memory>

#include "common/Paths.h"
#include "common/ScopedHandle.h"
#include "common/Text.h"
#include "shell/ShellConstants.h"

namespace {

struct CryptProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle NullHandle() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle h) { CryptReleaseContext(h, 0); }
};

struct CryptHashTraits {
  using Handle = HCRYPTHASH;
  static Handle NullHandle() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle h) { CryptDestroyHash(h); }
};

bool IsFileNameSafe(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'.' ||
         c == L'_' || c == L'-';
}

}  // namespace

std::wstring HexLower(const unsigned char* bytes, size_t count) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  hex.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    hex.push_back(kDigits[bytes[i] >> 4]);
    hex.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return hex;
}

std::wstring TempDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH) return L".";
  std::wstring folder(buffer, length);
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  return folder.empty() ? L"." : folder;
}

std::wstring UpdateArchiveFileName(const std::wstring& version) {
  std::wstring safe = version;
  for (wchar_t& c : safe) {
    if (!IsFileNameSafe(c)) c = L'_';
  }
  if (safe.empty()) safe = L"unknown";
  return L"TolvaneWin-update-" + safe + L".zip";
}

bool ComputeFileSha256(const std::wstring& path, std::wstring& hex) {
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  ScopedHandle<CryptProviderTraits> provider;
  if (!CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) return false;
  ScopedHandle<CryptHashTraits> hash;
  if (!CryptCreateHash(provider.Get(), CALG_SHA_256, 0, 0, hash.Receive())) return false;
  std::unique_ptr<unsigned char[]> block(new unsigned char[65536]);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), block.get(), 65536, &read, nullptr)) return false;
    if (read == 0) break;
    if (!CryptHashData(hash.Get(), block.get(), read, 0)) return false;
  }
  unsigned char value[32] = {};
  DWORD valueLength = sizeof(value);
  if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, value, &valueLength, 0)) return false;
  hex = HexLower(value, valueLength);
  return true;
}

UpdateDownloadResult DownloadAndVerifyUpdate(const UpdateDownloadRequest& request) {
  UpdateDownloadResult result;
  result.version = request.version;
  result.zipPath = JoinPath(TempDirectory(), UpdateArchiveFileName(request.version));
  std::wstring error;
  result.succeeded = HttpDownloadUrlToFile(request.url, result.zipPath, error);
  if (!result.succeeded) result.error = error;

  if (result.succeeded && request.sizeBytes != 0) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(result.zipPath.c_str(), GetFileExInfoStandard, &data)) {
      result.succeeded = false;
      result.error = L"Could not inspect downloaded update ZIP.";
    } else if (((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) != request.sizeBytes) {
      result.succeeded = false;
      result.error = L"Downloaded update ZIP size does not match metadata.";
    }
  }
  if (result.succeeded) {
    std::wstring digest;
    if (!ComputeFileSha256(result.zipPath, digest) || ToLowerAscii(request.sha256) != ToLowerAscii(digest)) {
      result.succeeded = false;
      result.error = L"Downloaded update ZIP checksum does not match metadata.";
    }
  }
  if (!result.succeeded) DeleteFileW(result.zipPath.c_str());
  return result;
}

DWORD WINAPI UpdateDownloadThreadProc(void* parameter) {
  if (parameter == nullptr) return 0;
  std::unique_ptr<UpdateDownloadRequest> request(static_cast<UpdateDownloadRequest*>(parameter));
  auto result = std::make_unique<UpdateDownloadResult>(DownloadAndVerifyUpdate(*request));
  const HWND window = request->window;
  request.reset();
  if (PostMessageW(window, kUpdateDownloadResultMessage, 0, reinterpret_cast<LPARAM>(result.get()))) {
    result.release();
  }
  return 0;
}
