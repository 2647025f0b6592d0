// Stamps are written digit by digit, in English names, whatever the process's locale.
#include "rfcfiles/trace_block.h"

#include <algorithm>
#include <array>
#include <ctime>

namespace rfcfiles {

namespace {

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

std::string Digits(int value, std::size_t width) {
  std::string digits = std::to_string(value < 0 ? 0 : value);
  if (digits.size() < width) {
    digits.insert(0, width - digits.size(), '0');
  }
  return digits;
}

/// The key of a keyed line: capitals and blanks in the first 12 columns, the last a blank when a
/// value follows; empty for any other line.
std::string_view LineKey(std::string_view line) {
  const std::string_view head = line.substr(0, kTraceKeyWidth);
  if (head.empty() || head[0] < 'A' || head[0] > 'Z' ||
      (line.size() > kTraceKeyWidth && head.back() != ' ')) {
    return {};
  }
  for (const char c : head) {
    if (c != ' ' && (c < 'A' || c > 'Z')) {
      return {};
    }
  }
  return head.substr(0, head.find_last_not_of(' ') + 1);
}

} // namespace

TraceStamp LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  std::array<char, 64> zone{};
  std::strftime(zone.data(), zone.size(), "%Z", &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
          local.tm_hour,        local.tm_min,     local.tm_sec,  zone.data()};
}

std::string ClassicTime(const TraceStamp &stamp) {
  constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                     "Thu", "Fri", "Sat"};
  constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string_view day = kDays[static_cast<std::size_t>(std::clamp(stamp.weekday, 0, 6))];
  const std::string_view month =
      kMonths[static_cast<std::size_t>(std::clamp(stamp.month, 1, 12) - 1)];
  return std::string(day) + " " + std::string(month) + " " + Digits(stamp.day, 2) + " " +
         Digits(stamp.hour, 2) + ":" + Digits(stamp.minute, 2) + ":" + Digits(stamp.second, 2) +
         " " + Digits(stamp.year, 4);
}

std::vector<std::string> KeyedLines(std::string_view message) {
  std::vector<std::string> lines;
  bool has_error = false;
  while (!message.empty()) {
    const std::size_t end = std::min(message.find('\n'), message.size());
    std::string_view line = message.substr(0, end);
    message.remove_prefix(std::min(end + 1, message.size()));
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    if (line.find_first_not_of(' ') == std::string_view::npos) {
      continue;
    }
    // A value that runs on continues on the next line, indented and without a key: it belongs
    // to the key above, joined by one blank.
    if (line.front() == ' ' && !lines.empty()) {
      std::string &above = lines.back();
      above.erase(std::max(above.find_last_not_of(' ') + 1, LineKey(above).size()));
      if (above.size() > kTraceKeyWidth) {
        above += ' ';
      } else {
        above.resize(kTraceKeyWidth, ' ');
      }
      const std::string_view more = line.substr(line.find_first_not_of(' '));
      above.append(more.substr(0, more.find_last_not_of(' ') + 1));
      continue;
    }
    const std::string_view key = LineKey(line);
    if (key.empty()) {
      return {};
    }
    has_error = has_error || key == "ERROR";
    lines.emplace_back(line);
  }
  if (!has_error || lines.size() < 2) {
    return {};
  }
  return lines;
}

std::string KeyedValue(const std::vector<std::string> &lines, std::string_view key) {
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if (LineKey(*line) == key) {
      return line->size() > kTraceKeyWidth ? line->substr(kTraceKeyWidth) : std::string();
    }
  }
  return {};
}

std::string FormatTraceBlock(const TraceEntry &entry, const TraceStamp &stamp,
                             const TraceWriter &writer, unsigned counter,
                             const std::vector<std::string> &library_lines) {
  std::string block(kTraceHeaderPrefix);
  block += Digits(stamp.year, 4) + Digits(stamp.month, 2) + Digits(stamp.day, 2) + " " +
           Digits(stamp.hour, 2) + Digits(stamp.minute, 2) + Digits(stamp.second, 2);
  if (!stamp.zone.empty()) {
    block += ' ';
    block += Clean(std::string_view(stamp.zone).substr(0, kZoneWidth));
  }
  block += ", SAP-REL " + Clean(writer.release) + " RFC-VER 3 " + std::string(writer.kind) + "\n";
  KeyLine(block, "LOCATION", entry.location);
  KeyLine(block, "ERROR", entry.error);
  KeyLine(block, "TIME", ClassicTime(stamp));
  KeyLine(block, "RELEASE", writer.release.substr(0, writer.release.find(',')));
  KeyLine(block, "COMPONENT", writer.component);
  KeyLine(block, "VERSION", "3");
  KeyLine(block, "RC", std::to_string(entry.rc));
  if (!entry.detail.empty()) {
    KeyLine(block, "DETAIL", entry.detail);
  }
  for (const std::string &line : library_lines) {
    block += Clean(line);
    block += '\n';
  }
  KeyLine(block, "COUNTER", std::to_string(counter));
  block += '\n';
  return block;
}

} // namespace rfcfiles
