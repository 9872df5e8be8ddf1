#pragma once

#include <windows.h>

inline constexpr wchar_t kRegistryPath[] = L"Software\\TolvaneWin";
inline constexpr wchar_t kMutexName[] = L"Local\\TolvaneWin.SingleInstance";
inline constexpr wchar_t kWindowClassName[] = L"TolvaneWin.HiddenWindow";
inline constexpr wchar_t kAppTitle[] = L"TolvaneWin";
inline constexpr int kAppIconResource = 101;

inline constexpr UINT kTrayCallbackMessage = WM_APP + 1;
inline constexpr UINT kUpdateCheckResultMessage = WM_APP + 2;
inline constexpr UINT kUpdateDownloadResultMessage = WM_APP + 3;

inline constexpr UINT_PTR kTimerLayoutPoll = 1001;
inline constexpr UINT_PTR kTimerCursorReapply = 1002;
inline constexpr UINT_PTR kTimerUpdateCheck = 1003;
inline constexpr UINT_PTR kTimerVisibleCursorRefresh = 1004;
inline constexpr UINT_PTR kTimerTelemetryReport = 1101;

inline constexpr UINT kTimerLayoutPollMs = 100;
inline constexpr UINT kTimerCursorReapplyMs = 300000;
inline constexpr UINT kTimerUpdateCheckMs = 86400000;
inline constexpr UINT kTimerVisibleCursorRefreshMs = 40;
inline constexpr UINT kTimerTelemetryReportMs = 60000;

inline constexpr WORD kMenuEnable = 2001;
inline constexpr WORD kMenuLeftHanded = 2002;
inline constexpr WORD kMenuRightHanded = 2003;
inline constexpr WORD kMenuBadgeNone = 2004;
inline constexpr WORD kMenuBadgeLetter = 2005;
inline constexpr WORD kMenuBadgeDot = 2006;
inline constexpr WORD kMenuBadgeHighContrast = 2007;
inline constexpr WORD kMenuRestoreCursor = 2008;
inline constexpr WORD kMenuExit = 2009;
inline constexpr WORD kMenuCheckForUpdates = 2011;
inline constexpr WORD kMenuDownloadUpdate = 2012;
inline constexpr WORD kMenuLaunchAtStartup = 2013;

inline constexpr wchar_t kRunRegistryPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunRegistryValueName[] = L"TolvaneWin";
