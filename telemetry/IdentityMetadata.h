#pragma once

// Reconciles the telemetry identity and counters with the state file and the
// registry mirror; runs once at window creation.
void LoadTelemetryMetadata();
// Hands the current identity state to the running outbox; true when it can reach disk.
bool PersistTelemetryMetadata();
