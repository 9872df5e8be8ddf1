#include "shell/AppState.h"

#include "telemetry/WindowsOutbox.h"

// Defined in this order so that g_app is initialised (and its destructor
// registered) before g_telemetryDirectory, and the outbox last.
AppState g_app;
std::wstring g_telemetryDirectory;
// Never deleted: its worker threads run until the process ends.
telemetry::WindowsOutbox* g_telemetryOutbox = new telemetry::WindowsOutbox();
