// Formatting and appending of error blocks.
#include "rfclib/trace_file.h"

#include <array>
#include <fstream>

namespace rfclib {
namespace {

constexpr const char *kReleaseTail = ", SAP-REL 700,0,0 RFC-VER 3 STANDIN";
constexpr std::size_t kZoneWidth = 15; // the classic file cuts the zone name to this

std::string Clean(std::string_view text) {
  std::string out(text);
  for (char &c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      c = ' ';
    }
  }
  return out;
}

void KeyLine(std::string &block, std::string_view key, std::string_view value) {
  std::string line(key);
  line.resize(kTraceKeyWidth, ' ');
  block += line;
  block += Clean(value);
  block += '\n';
}

std::string Stamp(const std::tm &time, const char *format) {
  std::array<char, 64> buffer{};
  const std::size_t size = std::strftime(buffer.data(), buffer.size(), format, &time);
  return std::string(buffer.data(), size);
}

} // namespace

std::string FormatTraceBlock(const TraceEntry &entry, const std::tm &local_time,
                             std::string_view zone, unsigned counter) {
  std::string block = kTraceHeaderPrefix;
  block += Stamp(local_time, "%Y%m%d %H%M%S");
  block += ' ';
  block += Clean(zone.substr(0, kZoneWidth));
  block += kReleaseTail;
  block += '\n';
  KeyLine(block, "LOCATION", entry.location);
  KeyLine(block, "ERROR", entry.error);
  KeyLine(block, "TIME", Stamp(local_time, "%a %b %d %H:%M:%S %Y"));
  KeyLine(block, "RELEASE", "700");
  KeyLine(block, "COMPONENT", "RFC stand-in");
  KeyLine(block, "VERSION", "3");
  KeyLine(block, "RC", std::to_string(entry.rc));
  if (!entry.detail.empty()) {
    KeyLine(block, "DETAIL", entry.detail);
  }
  KeyLine(block, "COUNTER", std::to_string(counter));
  block += '\n';
  return block;
}

void AppendTraceBlock(const std::string &path, const TraceEntry &entry, unsigned counter) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (const std::tm *converted = std::localtime(&now)) {
    local = *converted;
  }
  const std::string zone = Stamp(local, "%Z");
  // Text mode on purpose: on Windows the file gets CR LF line ends, as the classic one has.
  std::ofstream file(path, std::ios::app);
  if (file) {
    file << FormatTraceBlock(entry, local, zone, counter);
  }
}

} // namespace rfclib
