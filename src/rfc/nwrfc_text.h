// Text between the classic interface's 8-bit characters and the NetWeaver library's UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace kestrovan {

/// The classic library's non-Unicode build hands the program Windows-1252 text (SAP code page
/// 1160): every byte has one UTF-16 unit.
std::u16string WidenAnsi(std::string_view text);

/// UTF-16 to Windows-1252: one byte per character; a character the code page lacks (a
/// surrogate pair counts as one) becomes '#', as SAP's code page conversion writes it.
std::string NarrowToAnsi(std::u16string_view text);

/// UTF-16 text up to its terminator, never past `units`.
std::u16string_view TerminatedText(const char16_t *text, std::size_t units);

} // namespace kestrovan
