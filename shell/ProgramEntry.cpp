#include <windows.h>
#include <gdiplus.h>

#include "shell/AppState.h"
#include "shell/ProgramEntry.h"
#include "shell/ShellConstants.h"
#include "shell/WindowProc.h"

namespace {

void ShutdownGdiplus() {
  if (g_app.gdiplusToken != 0) {
    Gdiplus::GdiplusShutdown(g_app.gdiplusToken);
    g_app.gdiplusToken = 0;
  }
}

}  // namespace

int RunTrayProgram(HINSTANCE instance) {
  g_app.instance = instance;

  // Left open on the early exits: the process end releases it.
  g_app.singleInstanceMutex = CreateMutexW(nullptr, TRUE, kMutexName);
  if (g_app.singleInstanceMutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
    MessageBoxW(nullptr, L"TolvaneWin is already running.", kAppTitle, MB_ICONINFORMATION);
    return 0;
  }

  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&g_app.gdiplusToken, &input, nullptr) != Gdiplus::Ok) {
    g_app.gdiplusToken = 0;
    MessageBoxW(nullptr, L"Failed to initialize GDI+.", kAppTitle, MB_ICONERROR);
    return 1;
  }

  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kAppIconResource));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClassName;
  windowClass.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  if (RegisterClassExW(&windowClass) == 0) {
    ShutdownGdiplus();
    MessageBoxW(nullptr, L"Failed to register the hidden window class.", kAppTitle, MB_ICONERROR);
    return 1;
  }

  HWND window = CreateWindowExW(0, kWindowClassName, kAppTitle, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) {
    ShutdownGdiplus();
    MessageBoxW(nullptr, L"Failed to create the hidden window.", kAppTitle, MB_ICONERROR);
    return 1;
  }
  g_app.hiddenWindow = window;

  MSG msg = {};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  ShutdownGdiplus();
  if (g_app.singleInstanceMutex != nullptr) {
    ReleaseMutex(g_app.singleInstanceMutex);
    CloseHandle(g_app.singleInstanceMutex);
    g_app.singleInstanceMutex = nullptr;
  }
  return static_cast<int>(msg.wParam);
}
