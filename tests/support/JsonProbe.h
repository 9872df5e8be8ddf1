#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Splits one JSON object into its members in document order. Values are kept
// as their raw JSON text; strings can be decoded with JsonStringValue.
// False when the text is not exactly one well-formed object.
bool ParseJsonObject(const std::string& text, std::vector<std::pair<std::string, std::string>>& members);
// The decoded text of a raw JSON string value (quotes removed, escapes applied).
std::string JsonStringValue(const std::string& raw);
// The raw value of a member, or "<missing>".
std::string JsonMember(const std::vector<std::pair<std::string, std::string>>& members, const std::string& key);

}  // namespace testing_support
