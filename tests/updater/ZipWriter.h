#pragma once

#include <string>
#include <vector>

namespace testing_support {

// One entry of a test archive. A name ending in '/' is a folder entry.
// Names are UTF-8; non-ASCII names are flagged as such.
struct ZipEntry {
  std::string name;
  std::string data;
  bool deflate = false;
};

// A complete ZIP file (no ZIP64, no encryption).
std::string BuildZip(const std::vector<ZipEntry>& entries);

}  // namespace testing_support
