// Text between the classic interface's 8-bit characters and the NetWeaver library's UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace kestrovan::nwbinding {

/// The classic library's non-Unicode build hands the program Windows-1252 text (SAP code page
/// 1160): every byte has one UTF-16 unit.
std::u16string WidenAnsi(std::string_view text);

/// Text of the profile (logon values) for the library. On Windows the profile holds the ANSI
/// code page's bytes, read as Windows-1252; elsewhere it holds what the terminal sent, UTF-8:
/// each well-formed UTF-8 sequence is one character, any other byte is read as Windows-1252.
std::u16string WidenProfileText(std::string_view text);

/// UTF-8 as above on every platform: for the tests and the fuzz targets of the Linux reading.
std::u16string WidenUtf8OrAnsi(std::string_view text);

/// UTF-16 to Windows-1252: one byte per character; a character the code page lacks (a
/// surrogate pair counts as one) becomes '#', as SAP's code page conversion writes it.
std::string NarrowToAnsi(std::u16string_view text);

/// UTF-16 text up to its terminator, never past `units`.
std::u16string_view TerminatedText(const char16_t *text, std::size_t units);

} // namespace kestrovan::nwbinding
