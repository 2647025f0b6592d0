// What a library file says about itself before it is loaded (bitness, the libraries it imports),
// and which ICU files SAP's NetWeaver library will want: the reasons a load fails, in words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrovan {

enum class ImageFormat { Unknown, Pe, Elf };

/// The headers of a Windows DLL (PE) or a shared object (ELF), as far as they could be read.
struct LibraryImage {
  ImageFormat format = ImageFormat::Unknown;
  int bits = 0; // 32 or 64; 0 when the file is not a library this reader knows
  /// PE: the DLLs of the import table; ELF: DT_NEEDED. In file order, at most kMaxImageNames.
  std::vector<std::string> needed;
};

/// Bounds for hostile files: no more names than this, none longer than kMaxImageName.
inline constexpr std::size_t kMaxImageNames = 1024;
inline constexpr std::size_t kMaxImageName = 260;

/// Reads the headers from the file's bytes; never reads outside them. Whatever cannot be read
/// is left out (a damaged import table gives fewer names, a damaged header an Unknown format).
LibraryImage ReadLibraryImage(std::string_view bytes);

/// "a 64-bit library; this program needs the 32-bit one" and the reverse; empty when the image's
/// bitness is unknown or fits a program of program_bits.
std::string BitnessMismatch(const LibraryImage &image, int program_bits);

/// How SAP's NetWeaver library names its ICU files: icuuc50.dll, icuin50.dll, icudt50.dll on
/// Windows; libicuuc.so.50, libicui18n.so.50, libicudata.so.50 on Linux.
enum class IcuNaming { Windows, Linux };

/// The three files of one ICU version, in the order the library needs them.
std::vector<std::string> IcuFileNames(IcuNaming naming, std::string_view version);

/// The version of an ICU file name ("50" for icuuc50.dll or libicudata.so.50), or empty for any
/// other name. Windows names compare without regard to case.
std::string IcuVersionOf(IcuNaming naming, std::string_view file_name);

/// Given the files present where the library will look (any order, any folders), empty when all
/// three files of one version are there; else the first missing file of the version most nearly
/// complete (the earliest seen on a tie); else, with no ICU file at all, a pattern such as
/// "icuuc*.dll".
std::string MissingIcuFile(IcuNaming naming, const std::vector<std::string> &present);

} // namespace kestrovan
