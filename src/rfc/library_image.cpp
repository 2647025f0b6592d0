// Reading PE and ELF headers from untrusted bytes: every offset is checked against the file
// before use, every count is bounded.
#include "rfc/library_image.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace kestrovan {
namespace {

/// Little- or big-endian unsigned integer of `size` bytes at `at`; nothing past the end.
std::optional<std::uint64_t> Number(std::string_view bytes, std::uint64_t at, unsigned size,
                                    bool big_endian = false) {
  if (at > bytes.size() || bytes.size() - at < size) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (unsigned i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(
        bytes[static_cast<std::size_t>(at + (big_endian ? i : size - 1 - i))]);
    value = (value << 8) | byte;
  }
  return value;
}

/// A zero-terminated name at `at`, bounded by `end` and kMaxImageName; empty when unterminated.
std::string NameAt(std::string_view bytes, std::uint64_t at, std::uint64_t end) {
  end = std::min<std::uint64_t>(end, bytes.size());
  if (at >= end) {
    return {};
  }
  // at < end <= bytes.size(), so both fit a size_t.
  const std::string_view rest =
      bytes.substr(static_cast<std::size_t>(at),
                   static_cast<std::size_t>(std::min<std::uint64_t>(end - at, kMaxImageName + 1)));
  const std::size_t zero = rest.find('\0');
  return zero == std::string_view::npos ? std::string() : std::string(rest.substr(0, zero));
}

void ReadPe(std::string_view bytes, LibraryImage &image) {
  const auto pe = Number(bytes, 0x3C, 4);
  if (!pe || *pe > bytes.size() || bytes.size() - *pe < 4 ||
      bytes.substr(static_cast<std::size_t>(*pe), 4) != std::string_view("PE\0\0", 4)) {
    return;
  }
  const std::uint64_t coff = *pe + 4;
  const auto sections = Number(bytes, coff + 2, 2);
  const auto optional_size = Number(bytes, coff + 16, 2);
  const std::uint64_t optional = coff + 20;
  const auto magic = Number(bytes, optional, 2);
  if (!sections || !optional_size || !magic || (*magic != 0x10B && *magic != 0x20B)) {
    return;
  }
  image.format = ImageFormat::Pe;
  image.bits = *magic == 0x20B ? 64 : 32;
  const std::uint64_t directories = optional + (image.bits == 64 ? 112 : 96);
  const auto directory_count = Number(bytes, directories - 4, 4);
  const auto import_rva = Number(bytes, directories + 8, 4);
  if (!directory_count || *directory_count < 2 || !import_rva || *import_rva == 0) {
    return;
  }
  // An address in the loaded image, found in the file through the section that holds it.
  const std::uint64_t section_table = optional + *optional_size;
  const auto offset_of =
      [&](std::uint64_t rva) -> std::optional<std::pair<std::uint64_t, std::uint64_t>> {
    for (std::uint64_t i = 0; i < *sections; ++i) {
      const std::uint64_t header = section_table + i * 40;
      const auto virtual_size = Number(bytes, header + 8, 4);
      const auto address = Number(bytes, header + 12, 4);
      const auto raw_size = Number(bytes, header + 16, 4);
      const auto raw = Number(bytes, header + 20, 4);
      if (!virtual_size || !address || !raw_size || !raw) {
        return std::nullopt;
      }
      const std::uint64_t extent = std::max(*virtual_size, *raw_size);
      if (rva >= *address && rva - *address < extent && rva - *address < *raw_size) {
        return std::make_pair(*raw + (rva - *address), *raw + *raw_size);
      }
    }
    return std::nullopt;
  };
  const auto table = offset_of(*import_rva);
  if (!table) {
    return;
  }
  for (std::uint64_t at = table->first; image.needed.size() < kMaxImageNames; at += 20) {
    const auto name_rva = Number(bytes, at + 12, 4);
    const auto first_thunk = Number(bytes, at + 16, 4);
    if (!name_rva || !first_thunk || (*name_rva == 0 && *first_thunk == 0)) {
      return;
    }
    const auto name = offset_of(*name_rva);
    if (!name) {
      return;
    }
    std::string text = NameAt(bytes, name->first, name->second);
    if (text.empty()) {
      return;
    }
    image.needed.push_back(std::move(text));
  }
}

void ReadElf(std::string_view bytes, LibraryImage &image) {
  const auto klass = static_cast<unsigned char>(bytes[4]);
  const auto data = static_cast<unsigned char>(bytes[5]);
  if ((klass != 1 && klass != 2) || (data != 1 && data != 2)) {
    return;
  }
  image.format = ImageFormat::Elf;
  image.bits = klass == 2 ? 64 : 32;
  const bool big = data == 2;
  const bool wide = image.bits == 64;
  const unsigned word = wide ? 8 : 4;
  const auto phoff = Number(bytes, wide ? 32 : 28, word, big);
  const auto phentsize = Number(bytes, wide ? 54 : 42, 2, big);
  const auto phnum = Number(bytes, wide ? 56 : 44, 2, big);
  if (!phoff || !phentsize || !phnum || *phentsize < (wide ? 56u : 32u)) {
    return;
  }
  struct Segment {
    std::uint64_t type, offset, address, size;
  };
  std::vector<Segment> segments;
  for (std::uint64_t i = 0; i < *phnum; ++i) {
    const std::uint64_t at = *phoff + i * *phentsize;
    const auto type = Number(bytes, at, 4, big);
    const auto offset = Number(bytes, at + (wide ? 8 : 4), word, big);
    const auto address = Number(bytes, at + (wide ? 16 : 8), word, big);
    const auto size = Number(bytes, at + (wide ? 32 : 16), word, big);
    if (!type || !offset || !address || !size) {
      return;
    }
    segments.push_back({*type, *offset, *address, *size});
  }
  const auto dynamic =
      std::find_if(segments.begin(), segments.end(), [](const Segment &s) { return s.type == 2; });
  if (dynamic == segments.end()) {
    return;
  }
  std::vector<std::uint64_t> needed;
  std::optional<std::uint64_t> strtab, strsz;
  const unsigned entry = 2 * word;
  for (std::uint64_t at = dynamic->offset;
       at - dynamic->offset < dynamic->size && needed.size() < kMaxImageNames; at += entry) {
    const auto tag = Number(bytes, at, word, big);
    const auto value = Number(bytes, at + word, word, big);
    if (!tag || !value || *tag == 0) {
      break;
    }
    if (*tag == 1) {
      needed.push_back(*value);
    } else if (*tag == 5) {
      strtab = *value;
    } else if (*tag == 10) {
      strsz = *value;
    }
  }
  if (!strtab || !strsz) {
    return;
  }
  // DT_STRTAB is an address in memory: the loadable segment that holds it says where it lies.
  std::optional<std::uint64_t> table;
  for (const Segment &s : segments) {
    if (s.type == 1 && *strtab >= s.address && *strtab - s.address < s.size) {
      table = s.offset + (*strtab - s.address);
      break;
    }
  }
  if (!table || *table > bytes.size()) {
    return;
  }
  const std::uint64_t end = *table + std::min<std::uint64_t>(*strsz, bytes.size() - *table);
  for (std::uint64_t offset : needed) {
    if (offset >= end - *table) {
      continue;
    }
    std::string name = NameAt(bytes, *table + offset, end);
    if (!name.empty()) {
      image.needed.push_back(std::move(name));
    }
  }
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithFolded(std::string_view text, std::string_view prefix, bool fold) {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if ((fold ? Lower(text[i]) : text[i]) != prefix[i]) {
      return false;
    }
  }
  return true;
}

struct IcuPattern {
  std::string_view prefix;
  std::string_view suffix;
};

/// The three name patterns, split around the version.
std::vector<IcuPattern> IcuPatterns(IcuNaming naming) {
  if (naming == IcuNaming::Windows) {
    return {{"icuuc", ".dll"}, {"icuin", ".dll"}, {"icudt", ".dll"}};
  }
  return {{"libicuuc.so.", ""}, {"libicui18n.so.", ""}, {"libicudata.so.", ""}};
}

/// Which of the three files a name is (0..2) and its version; -1 for any other name.
int IcuRole(IcuNaming naming, std::string_view name, std::string &version) {
  const bool fold = naming == IcuNaming::Windows;
  const std::vector<IcuPattern> patterns = IcuPatterns(naming);
  for (std::size_t role = 0; role < patterns.size(); ++role) {
    const IcuPattern &p = patterns[role];
    if (name.size() <= p.prefix.size() + p.suffix.size() ||
        !StartsWithFolded(name, p.prefix, fold)) {
      continue;
    }
    std::string tail(name.substr(p.prefix.size()));
    if (fold) {
      std::transform(tail.begin(), tail.end(), tail.begin(), Lower);
    }
    if (tail.size() < p.suffix.size() ||
        tail.compare(tail.size() - p.suffix.size(), p.suffix.size(), p.suffix) != 0) {
      continue;
    }
    tail.resize(tail.size() - p.suffix.size());
    // ICU majors are two or three digits (34, 50, 74, 100 ...).
    if (tail.size() < 2 || tail.size() > 3 ||
        !std::all_of(tail.begin(), tail.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    version = tail;
    return static_cast<int>(role);
  }
  return -1;
}

} // namespace

LibraryImage ReadLibraryImage(std::string_view bytes) {
  LibraryImage image;
  if (bytes.substr(0, 2) == "MZ") {
    ReadPe(bytes, image);
  } else if (bytes.size() >= 16 && bytes.substr(0, 4) == "\x7f"
                                                         "ELF") {
    ReadElf(bytes, image);
  }
  return image;
}

std::string BitnessMismatch(const LibraryImage &image, int program_bits) {
  if (image.bits == 0 || image.bits == program_bits) {
    return {};
  }
  return "a " + std::to_string(image.bits) + "-bit library; this program needs the " +
         std::to_string(program_bits) + "-bit one";
}

std::vector<std::string> IcuFileNames(IcuNaming naming, std::string_view version) {
  std::vector<std::string> names;
  for (const IcuPattern &p : IcuPatterns(naming)) {
    names.push_back(std::string(p.prefix) + std::string(version) + std::string(p.suffix));
  }
  return names;
}

std::string IcuVersionOf(IcuNaming naming, std::string_view file_name) {
  std::string version;
  return IcuRole(naming, file_name, version) < 0 ? std::string() : version;
}

std::string MissingIcuFile(IcuNaming naming, const std::vector<std::string> &present) {
  struct Seen {
    std::string version;
    bool roles[3] = {false, false, false};
    int Count() const { return roles[0] + roles[1] + roles[2]; }
  };
  std::vector<Seen> seen;
  for (const std::string &name : present) {
    std::string version;
    const int role = IcuRole(naming, name, version);
    if (role < 0) {
      continue;
    }
    auto found =
        std::find_if(seen.begin(), seen.end(), [&](const Seen &s) { return s.version == version; });
    if (found == seen.end()) {
      seen.push_back({version});
      found = seen.end() - 1;
    }
    found->roles[role] = true;
  }
  const Seen *best = nullptr;
  for (const Seen &s : seen) {
    if (best == nullptr || s.Count() > best->Count()) {
      best = &s;
    }
  }
  if (best == nullptr) {
    return IcuFileNames(naming, "*").front();
  }
  const std::vector<std::string> names = IcuFileNames(naming, best->version);
  for (int role = 0; role < 3; ++role) {
    if (!best->roles[role]) {
      return names[static_cast<std::size_t>(role)];
    }
  }
  return {};
}

} // namespace kestrovan
