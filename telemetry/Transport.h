#pragma once

#include <string>

// Sends one event as GET <endpoint>?data=<percent-encoded body> and returns
// true only when the reply acknowledges the body's "eventId".
bool SendTelemetryNow(const std::string& endpoint, const std::string& body);

// The request URL of one event: the endpoint with "data=" and the
// percent-encoded body appended as its query.
std::wstring TelemetryRequestUrl(const std::string& endpoint, const std::string& body);
// False for a record whose request could never be made (it would otherwise
// stay first in the queue and hold back every later event).
bool TelemetryRequestFits(const std::string& endpoint, const std::string& body);
