#include "shell/AppState.h"

// Defined in this order so that g_app is initialised (and its destructor
// registered) before g_telemetryDirectory.
AppState g_app;
std::wstring g_telemetryDirectory;
