#include "shell/TrayIcon.h"

#include <gdiplus.h>

#include "common/ScopedHandle.h"
#include "cursor/LanguageBadge.h"
#include "shell/AppState.h"
#include "shell/ShellConstants.h"

namespace {

constexpr UINT kTrayEntryId = 1;
constexpr int kTrayIconSize = 32;

static_assert(sizeof(NOTIFYICONDATAW) == 976, "tray record must carry guidItem and hBalloonIcon");

// Resource icon, else the drawn one, else the shared application icon
// (which is never destroyed, so trayIconHandle stays null for it).
HICON ChooseTrayIcon() {
  g_app.trayIconHandle = static_cast<HICON>(LoadImageW(
      g_app.instance, MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON, kTrayIconSize, kTrayIconSize, 0));
  if (g_app.trayIconHandle == nullptr) g_app.trayIconHandle = CreateTrayIcon(g_app.badgeText);
  if (g_app.trayIconHandle != nullptr) return g_app.trayIconHandle;
  return LoadIconW(nullptr, IDI_APPLICATION);
}

// NIM_ADD and then the notification version, which only an added entry takes.
void AddEntry() {
  Shell_NotifyIconW(NIM_ADD, &g_app.trayIcon);
  g_app.trayIcon.uVersion = NOTIFYICON_VERSION_4;
  Shell_NotifyIconW(NIM_SETVERSION, &g_app.trayIcon);
}

}  // namespace

void AddTrayIcon(HWND window) {
  g_app.trayIcon = {};
  g_app.trayIcon.cbSize = sizeof(NOTIFYICONDATAW);
  g_app.trayIcon.hWnd = window;
  g_app.trayIcon.uID = kTrayEntryId;
  g_app.trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  g_app.trayIcon.uCallbackMessage = kTrayCallbackMessage;
  wcscpy_s(g_app.trayIcon.szTip, kAppTitle);
  g_app.trayIcon.hIcon = ChooseTrayIcon();
  AddEntry();
}

void AddTrayIconAgain() {
  if (g_app.trayIcon.cbSize == 0) return;  // never added: WM_CREATE has not got there
  AddEntry();
}

BOOL RefreshTrayIcon() {
  if (g_app.trayIconHandle != nullptr) {
    DestroyIcon(g_app.trayIconHandle);
    g_app.trayIconHandle = nullptr;
  }
  g_app.trayIcon.hIcon = ChooseTrayIcon();
  return Shell_NotifyIconW(NIM_MODIFY, &g_app.trayIcon);
}

void RemoveTrayIcon() {
  // A zero size means the entry was never added.
  if (g_app.trayIcon.cbSize != 0) Shell_NotifyIconW(NIM_DELETE, &g_app.trayIcon);
  if (g_app.trayIconHandle != nullptr) {
    DestroyIcon(g_app.trayIconHandle);
    g_app.trayIconHandle = nullptr;
  }
}

HICON CreateTrayIcon(const std::wstring& badgeText) {
  HBITMAP colourHandle = nullptr;
  UINT width = 0;
  UINT height = 0;
  {
    // Declared in reverse of the order they are to be deleted in.
    Gdiplus::Bitmap bitmap(kTrayIconSize, kTrayIconSize, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&bitmap);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    graphics.Clear(Gdiplus::Color(0, 0, 0, 0));

    Gdiplus::SolidBrush discBrush{Gdiplus::Color(0xFF2B7CFF)};
    graphics.FillEllipse(&discBrush, 2, 2, 28, 28);
    Gdiplus::SolidBrush dotBrush{Gdiplus::Color(LanguageColor(badgeText))};
    graphics.FillEllipse(&dotBrush, 17, 17, 10, 10);
    Gdiplus::Pen ringPen(Gdiplus::Color(0xBEFFFFFF), 1.4f);
    graphics.DrawEllipse(&ringPen, 2, 2, 28, 28);

    Gdiplus::FontFamily family(L"Segoe UI");
    Gdiplus::Font font(family.GetLastStatus() == Gdiplus::Ok ? &family : nullptr, 13,
                       Gdiplus::FontStyleBold, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush letterBrush{Gdiplus::Color(0xFFFFFFFF)};
    Gdiplus::StringFormat format(0, 0);
    format.SetAlignment(Gdiplus::StringAlignmentCenter);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    graphics.DrawString(L"L", -1, &font, Gdiplus::RectF(2, 3, 28, 23), &format, &letterBrush);

    if (bitmap.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &colourHandle) != Gdiplus::Ok) colourHandle = nullptr;
    width = bitmap.GetWidth();
    height = bitmap.GetHeight();
  }
  if (colourHandle == nullptr) return nullptr;
  ScopedBitmap colour(colourHandle);
  ScopedBitmap mask(CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 1, nullptr));
  if (!mask) return nullptr;

  ICONINFO info = {};
  info.fIcon = TRUE;
  info.hbmMask = mask.Get();
  info.hbmColor = colour.Get();
  HICON icon = CreateIconIndirect(&info);
  mask.Reset();
  return icon;
}
