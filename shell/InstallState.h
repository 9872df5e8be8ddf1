#pragma once

// Loads the install identity, version history, telemetry endpoint and cursor
// preferences from HKCU into g_app, refreshing what every start refreshes.
void LoadInstallState();
// Writes the settled identity and times back; a failed write sets
// g_app.identityDiagnostic to "registry_write_failed".
void SaveInstallState();
