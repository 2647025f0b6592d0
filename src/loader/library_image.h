// What a library file says about itself before it is loaded (bitness, the libraries it imports),
// and which ICU files SAP's NetWeaver library will want: the reasons a load fails, in words.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrovan {

enum class ImageFormat { Unknown, Pe, Elf };

/// The headers of a Windows DLL (PE) or a shared object (ELF), as far as they could be read.
struct LibraryImage {
  ImageFormat format = ImageFormat::Unknown;
  int bits = 0; // 32 or 64; 0 when the file is not a library this reader knows
  /// PE: the DLLs of the import table; ELF: DT_NEEDED. In file order, at most kMaxImageNames,
  /// each kept to characters a document can hold as they are (any other one is a '?').
  std::vector<std::string> needed;
  /// ELF: the folders of DT_RUNPATH (or DT_RPATH without it), as written ("$ORIGIN/lib").
  std::vector<std::string> run_path;
  std::uint64_t file_size = 0;
};

/// Bounds for hostile files: no more names than this, none longer than kMaxImageName.
inline constexpr std::size_t kMaxImageNames = 1024;
inline constexpr std::size_t kMaxImageName = 260;
/// The headers are read from at most this many bytes of a file, whatever its size.
inline constexpr std::size_t kMaxImageBytesRead = std::size_t{1} << 20;
/// Sections and program headers looked at; SAP's libraries have a dozen.
inline constexpr std::uint64_t kMaxImageSections = 96;

/// Up to `size` bytes of the file from offset `at`: fewer at its end or when it cannot be read.
using ImageRead = std::function<std::string(std::uint64_t at, std::size_t size)>;

/// Reads the headers of a file of file_size bytes through `read`, in pieces as they are needed
/// and never more than kMaxImageBytesRead bytes of it. Whatever cannot be read is left out (a
/// damaged import table gives fewer names, a damaged header an Unknown format).
LibraryImage ReadLibraryImage(std::uint64_t file_size, const ImageRead &read);
/// The same for a file's bytes in memory.
LibraryImage ReadLibraryImage(std::string_view bytes);

/// "a 64-bit library; this program needs the 32-bit one" and the reverse; empty when the image's
/// bitness is unknown or fits a program of program_bits.
std::string BitnessMismatch(const LibraryImage &image, int program_bits);

/// Why a file that the loader refused is not a library it could load, from its headers: "is
/// empty", "is not a library" (neither PE nor ELF), the other bitness; empty when the headers
/// give no reason.
std::string NotLoadableImage(const LibraryImage &image, int program_bits);

/// How SAP's NetWeaver library names its ICU files: icuuc50.dll, icuin50.dll, icudt50.dll on
/// Windows; libicuuc.so.50, libicui18n.so.50, libicudata.so.50 on Linux.
enum class IcuNaming { Windows, Linux };

/// The ICU file names written in a file's bytes, in 8-bit or UTF-16LE text (as a library keeps
/// the names it loads), each once, as written; Windows names are found without regard to case.
/// Names are of the three files with a version of two or three digits (icuuc34.dll,
/// libicudata.so.50); text that runs on into a further digit names no file.
std::vector<std::string> IcuFileNamesIn(IcuNaming naming, std::string_view bytes);

/// The names in the order they can be loaded: the data file first (the others import it), then
/// the common file, then the i18n file; within each, as given.
std::vector<std::string> IcuLoadOrder(IcuNaming naming, std::vector<std::string> names);

} // namespace kestrovan
