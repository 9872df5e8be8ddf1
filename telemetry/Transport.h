#pragma once

#include <string>

// Sends one event as GET <endpoint>?data=<percent-encoded body> and returns
// true only when the reply acknowledges the body's "eventId".
bool SendTelemetryNow(const std::string& endpoint, const std::string& body);
