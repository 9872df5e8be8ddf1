#include "tests/updater/ZipWriter.h"

#include <zlib.h>

#include <cstdint>
#include <stdexcept>

namespace testing_support {

namespace {

void Put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream stream = {};
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate failed");
  return out;
}

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string BuildZip(const std::vector<ZipEntry>& entries) {
  std::string body;
  std::string central;
  constexpr uint32_t kTime = 0x6000;  // 12:00:00
  constexpr uint32_t kDate = 0x5821;  // 2024-01-01
  for (const ZipEntry& entry : entries) {
    const bool folder = !entry.name.empty() && entry.name.back() == '/';
    const uint32_t method = entry.deflate && !folder ? 8 : 0;
    const std::string stored = method == 8 ? RawDeflate(entry.data) : entry.data;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
    const uint32_t flags = IsAscii(entry.name) ? 0 : 0x0800;
    const uint32_t offset = static_cast<uint32_t>(body.size());

    Put32(body, 0x04034b50);
    Put16(body, 20);
    Put16(body, flags);
    Put16(body, method);
    Put16(body, kTime);
    Put16(body, kDate);
    Put32(body, crc);
    Put32(body, static_cast<uint32_t>(stored.size()));
    Put32(body, static_cast<uint32_t>(entry.data.size()));
    Put16(body, static_cast<uint32_t>(entry.name.size()));
    Put16(body, 0);
    body += entry.name;
    body += stored;

    Put32(central, 0x02014b50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, flags);
    Put16(central, method);
    Put16(central, kTime);
    Put16(central, kDate);
    Put32(central, crc);
    Put32(central, static_cast<uint32_t>(stored.size()));
    Put32(central, static_cast<uint32_t>(entry.data.size()));
    Put16(central, static_cast<uint32_t>(entry.name.size()));
    Put16(central, 0);  // extra
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, folder ? 0x10 : 0x20);
    Put32(central, offset);
    central += entry.name;
  }
  std::string zip = body + central;
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<uint32_t>(entries.size()));
  Put16(zip, static_cast<uint32_t>(entries.size()));
  Put32(zip, static_cast<uint32_t>(central.size()));
  Put32(zip, static_cast<uint32_t>(body.size()));
  Put16(zip, 0);
  return zip;
}

}  // namespace testing_support
