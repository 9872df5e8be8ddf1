#pragma once

// Installs the replacement set or puts the system set back, as the
// preferences say; the outcome is in g_app.cursorApplyResult.
void ApplyCurrentCursors(bool force);
// Reloads the system's own cursor set; true when that worked.
bool RestoreSystemCursors();
void ScheduleVisibleCursorRefresh(bool force);
void RefreshVisibleCursor(bool force);
