// Values between the classic buffers (8-bit text, native integers, records at installed offsets)
// and the NetWeaver library's fields (UTF-16 text and integers, by name).
#pragma once

#include <cstdint>
#include <vector>
#include <string>

#include "nwbinding/nwrfc_binding.h"
#include "nwbinding/nwrfc_handles.h"

namespace kestrovan::nwbinding {

/// What reading one value found: it, no such field (the classic library then leaves the
/// caller's buffer as it was), or a failure recorded in the error record.
enum class Got { Value, Absent, Failed, Refused };

/// What the rows of one reply's tables may take at the callers' line lengths together, as the
/// classic library bounds them.
inline constexpr std::uint64_t kMaxReplyTableBytes = 64u * 1024u * 1024u;

/// Sets a field from a classic buffer of this type and length.
nwrfc::Rc WriteField(const NwRfcFunctions &fn, nwrfc::ContainerHandle container,
                     const std::u16string &name, unsigned type, unsigned length,
                     const std::uint8_t *source, nwrfc::ErrorInfo &error);

/// Reads a field into a classic buffer of this type and length: text cut or padded with blanks
/// as the classic library does, integers in native order.
Got ReadField(const NwRfcFunctions &fn, nwrfc::ContainerHandle container,
              const std::u16string &name, unsigned type, unsigned length, std::uint8_t *target,
              nwrfc::ErrorInfo &error);

/// Reads every element of an installed structure into a record at the elements' offsets.
Got ReadStructure(const NwRfcFunctions &fn, nwrfc::ContainerHandle container,
                  const NwStructure &structure, std::uint8_t *record, nwrfc::ErrorInfo &error);

/// Reads every row of the function's table `name` into classic lines of `line_length` bytes,
/// one block for all of them, taking their size from `budget` before anything is allocated:
/// Absent when the system did not send the table; Failed with the library's error; Refused with
/// `problem` when the rows would take more than the budget left.
Got ReadTable(const NwRfcFunctions &fn, nwrfc::ContainerHandle function, const std::u16string &name,
              const NwStructure &structure, unsigned line_length, std::uint64_t &budget,
              NwRows &rows, nwrfc::ErrorInfo &error, std::string &problem);

} // namespace kestrovan::nwbinding
