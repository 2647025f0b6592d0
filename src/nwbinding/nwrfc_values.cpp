// Text goes through the code page conversion; numbers travel as text into the library, which
// converts them into its numeric fields, and come back as integers.
#include "nwbinding/nwrfc_values.h"

#include <algorithm>
#include <cstring>

#include "nwbinding/nwrfc_text.h"

namespace kestrovan::nwbinding {

namespace {

/// A value longer than the caller's field is read whole, then cut as the classic library cuts;
/// nothing larger than this is ever asked for.
constexpr unsigned kLargestCharsBuffer = 1u << 20;
constexpr std::size_t kMaxRows = 16u * 1024u * 1024u;

Got ReadChars(const NwRfcFunctions &fn, nwrfc::ContainerHandle container,
              const std::u16string &name, unsigned length, std::uint8_t *target,
              nwrfc::ErrorInfo &error) {
  unsigned size = length;
  while (true) {
    std::u16string buffer(size, u' ');
    error = nwrfc::ErrorInfo{};
    const nwrfc::Rc rc = fn.GetChars(container, name.c_str(), buffer.data(), size, &error);
    if (rc == nwrfc::kOk) {
      std::string text = NarrowToAnsi(buffer);
      text.resize(length, ' '); // cut as the classic library cuts, or padded with blanks
      std::memcpy(target, text.data(), length);
      return Got::Value;
    }
    // The classic library leaves a value the system does not send as it was.
    if (rc == nwrfc::kInvalidParameter) {
      return Got::Absent;
    }
    if (rc != nwrfc::kBufferTooSmall || size >= kLargestCharsBuffer) {
      return Got::Failed;
    }
    size = std::min(kLargestCharsBuffer, size * 2);
  }
}

} // namespace

nwrfc::Rc WriteField(const NwRfcFunctions &fn, nwrfc::ContainerHandle container,
                     const std::u16string &name, unsigned type, unsigned length,
                     const std::uint8_t *source, nwrfc::ErrorInfo &error) {
  std::u16string text;
  if (IsCharacterType(type)) {
    text = WidenAnsi(std::string_view(reinterpret_cast<const char *>(source), length));
  } else {
    // The library converts text into a numeric field; the classic value is a native integer.
    long long number = 0;
    if (type == TYPINT) {
      std::int32_t value = 0;
      std::memcpy(&value, source, sizeof value);
      number = value;
    } else if (type == kTypeInt2) {
      std::int16_t value = 0;
      std::memcpy(&value, source, sizeof value);
      number = value;
    } else {
      number = *source;
    }
    text = WidenAnsi(std::to_string(number));
  }
  return fn.SetChars(container, name.c_str(), text.data(), static_cast<unsigned>(text.size()),
                     &error);
}

Got ReadField(const NwRfcFunctions &fn, nwrfc::ContainerHandle container,
              const std::u16string &name, unsigned type, unsigned length, std::uint8_t *target,
              nwrfc::ErrorInfo &error) {
  if (IsCharacterType(type)) {
    return ReadChars(fn, container, name, length, target, error);
  }
  int value = 0;
  error = nwrfc::ErrorInfo{};
  const nwrfc::Rc rc = fn.GetInt(container, name.c_str(), &value, &error);
  if (rc == nwrfc::kInvalidParameter) {
    return Got::Absent;
  }
  if (rc != nwrfc::kOk) {
    return Got::Failed;
  }
  if (type == TYPINT) {
    const std::int32_t native = value;
    std::memcpy(target, &native, sizeof native);
  } else if (type == kTypeInt2) {
    const auto native = static_cast<std::int16_t>(value);
    std::memcpy(target, &native, sizeof native);
  } else {
    *target = static_cast<std::uint8_t>(value);
  }
  return Got::Value;
}

Got ReadStructure(const NwRfcFunctions &fn, nwrfc::ContainerHandle container,
                  const NwStructure &structure, std::uint8_t *record, nwrfc::ErrorInfo &error) {
  for (const NwElement &element : structure.elements) {
    const Got got = ReadField(fn, container, element.wide_name, element.type, element.length,
                              record + element.offset, error);
    if (got == Got::Failed) {
      return got;
    }
  }
  return Got::Value;
}

Got ReadTable(const NwRfcFunctions &fn, nwrfc::ContainerHandle function, const std::u16string &name,
              const NwStructure &structure, unsigned line_length, std::uint64_t &budget,
              NwRows &rows, nwrfc::ErrorInfo &error, std::string &problem) {
  nwrfc::ContainerHandle table = nullptr;
  unsigned count = 0;
  nwrfc::Rc step = fn.GetTable(function, name.c_str(), &table, &error);
  if (step == nwrfc::kInvalidParameter) {
    return Got::Absent;
  }
  if (step == nwrfc::kOk) {
    step = fn.GetRowCount(table, &count, &error);
  }
  if (step != nwrfc::kOk) {
    return Got::Failed;
  }
  const std::uint64_t size = std::uint64_t{count} * line_length;
  if (count > kMaxRows || size > budget) {
    problem = std::to_string(count) + " rows of " + std::to_string(line_length) +
              " bytes would take the reply's tables beyond " + std::to_string(kMaxReplyTableBytes) +
              " bytes";
    return Got::Refused;
  }
  budget -= size;
  // Each line starts as the classic library initializes one: text blank, numbers zero.
  std::vector<std::uint8_t> initial(line_length, 0);
  for (const NwElement &element : structure.elements) {
    if (IsCharacterType(element.type)) {
      std::fill_n(initial.begin() + element.offset, element.length, ' ');
    }
  }
  rows.bytes.resize(static_cast<std::size_t>(size));
  rows.count = count;
  for (unsigned row = 0; row < count; ++row) {
    step = fn.MoveTo(table, row, &error);
    if (step != nwrfc::kOk) {
      return Got::Failed;
    }
    std::uint8_t *line = rows.bytes.data() + std::size_t{row} * line_length;
    std::copy(initial.begin(), initial.end(), line);
    if (ReadStructure(fn, table, structure, line, error) == Got::Failed) {
      if (error.code == nwrfc::kOk) {
        error.code = nwrfc::kUnknownError;
      }
      return Got::Failed;
    }
  }
  return Got::Value;
}

} // namespace kestrovan::nwbinding
