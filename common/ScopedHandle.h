#pragma once

#include <windows.h>

// Move-only owner of one platform handle; Traits says how to recognise and
// release it.
template <class Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() noexcept : handle(Traits::NullHandle()) {}
  explicit ScopedHandle(Handle value) noexcept : handle(value) {}
  ~ScopedHandle() { Reset(); }

  ScopedHandle(ScopedHandle&& other) noexcept : handle(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool IsValid() const noexcept { return Traits::IsValid(handle); }
  explicit operator bool() const noexcept { return IsValid(); }
  Handle Get() const noexcept { return handle; }

  // Releases what is held and hands out the slot for an out-parameter.
  Handle* Receive() noexcept {
    Reset();
    return &handle;
  }

  // Gives up ownership without releasing.
  Handle Release() noexcept {
    Handle value = handle;
    handle = Traits::NullHandle();
    return value;
  }

  void Reset(Handle value = Traits::NullHandle()) noexcept {
    if (Traits::IsValid(handle)) Traits::Close(handle);
    handle = value;
  }

 private:
  Handle handle;
};

struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

// CreateFileW reports failure as INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle NullHandle() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle NullHandle() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::FindClose(h); }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::RegCloseKey(h); }
};

struct IconTraits {
  using Handle = HICON;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyIcon(h); }
};

struct CursorTraits {
  using Handle = HCURSOR;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyCursor(h); }
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};

struct BitmapTraits {
  using Handle = HBITMAP;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteObject(h); }
};

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DeleteDC(h); }
};

struct MenuTraits {
  using Handle = HMENU;
  static Handle NullHandle() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::DestroyMenu(h); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFileHandle = ScopedHandle<FileHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedRegKey = ScopedHandle<RegKeyTraits>;
using ScopedIcon = ScopedHandle<IconTraits>;
using ScopedCursor = ScopedHandle<CursorTraits>;
using ScopedGdiObject = ScopedHandle<GdiObjectTraits>;
using ScopedBitmap = ScopedHandle<BitmapTraits>;
using ScopedMemoryDc = ScopedHandle<MemoryDcTraits>;
using ScopedMenu = ScopedHandle<MenuTraits>;
