// Reading PE and ELF headers from untrusted bytes: every offset is checked against the file
// before use, every count is bounded, and no more of the file is read than the headers need.
#include "loader/library_image.h"

#include <algorithm>
#include <map>
#include <optional>

namespace kestrovan {
namespace {

/// A file's bytes, read in pages as the readers ask for them, up to kMaxImageBytesRead in all.
class Bytes {
public:
  Bytes(std::uint64_t size, const ImageRead &read) : size_(size), read_(read) {}

  std::uint64_t size() const { return size_; }

  /// Up to count bytes from `at`: fewer at the end of the file, where a page could not be read,
  /// or once the bound of what is read has been reached.
  std::string Get(std::uint64_t at, std::size_t count) {
    std::string out;
    while (out.size() < count && at < size_) {
      const std::uint64_t page = at / kPage;
      const std::string *bytes = Page(page);
      if (bytes == nullptr) {
        break;
      }
      const std::uint64_t within = at - page * kPage;
      if (within >= bytes->size()) {
        break;
      }
      const std::size_t take = std::min<std::size_t>(
          count - out.size(), bytes->size() - static_cast<std::size_t>(within));
      out.append(*bytes, static_cast<std::size_t>(within), take);
      at += take;
    }
    return out;
  }

private:
  static constexpr std::size_t kPage = 4096;

  const std::string *Page(std::uint64_t page) {
    const auto found = pages_.find(page);
    if (found != pages_.end()) {
      return &found->second;
    }
    if (pages_.size() * kPage >= kMaxImageBytesRead) {
      return nullptr;
    }
    return &pages_.emplace(page, read_(page * kPage, kPage)).first->second;
  }

  std::uint64_t size_;
  const ImageRead &read_;
  std::map<std::uint64_t, std::string> pages_;
};

/// Little- or big-endian unsigned integer of `size` bytes at `at`; nothing past the end.
std::optional<std::uint64_t> Number(Bytes &bytes, std::uint64_t at, unsigned size,
                                    bool big_endian = false) {
  const std::string piece = bytes.Get(at, size);
  if (piece.size() < size) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (unsigned i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(piece[big_endian ? i : size - 1 - i]);
    value = (value << 8) | byte;
  }
  return value;
}

/// A name as a document can hold it: printable ASCII but for markup; anything else is a '?'.
std::string Printable(std::string name) {
  for (char &c : name) {
    if (c < ' ' || c > '~' || c == '<' || c == '>' || c == '&') {
      c = '?';
    }
  }
  return name;
}

/// A zero-terminated name at `at`, bounded by `end` and kMaxImageName; empty when unterminated.
std::string NameAt(Bytes &bytes, std::uint64_t at, std::uint64_t end) {
  end = std::min<std::uint64_t>(end, bytes.size());
  if (at >= end) {
    return {};
  }
  const std::string rest =
      bytes.Get(at, static_cast<std::size_t>(std::min<std::uint64_t>(end - at, kMaxImageName + 1)));
  const std::size_t zero = rest.find('\0');
  return zero == std::string::npos ? std::string() : Printable(rest.substr(0, zero));
}

void ReadPe(Bytes &bytes, LibraryImage &image) {
  const auto pe = Number(bytes, 0x3C, 4);
  if (!pe || bytes.Get(*pe, 4) != std::string_view("PE\0\0", 4)) {
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
  struct Section {
    std::uint64_t address, extent, raw, raw_size;
  };
  std::vector<Section> table;
  const std::uint64_t section_table = optional + *optional_size;
  for (std::uint64_t i = 0; i < std::min(*sections, kMaxImageSections); ++i) {
    const std::uint64_t header = section_table + i * 40;
    const auto virtual_size = Number(bytes, header + 8, 4);
    const auto address = Number(bytes, header + 12, 4);
    const auto raw_size = Number(bytes, header + 16, 4);
    const auto raw = Number(bytes, header + 20, 4);
    if (!virtual_size || !address || !raw_size || !raw) {
      break;
    }
    table.push_back({*address, std::max(*virtual_size, *raw_size), *raw, *raw_size});
  }
  // An address in the loaded image, found in the file through the section that holds it.
  const auto offset_of =
      [&](std::uint64_t rva) -> std::optional<std::pair<std::uint64_t, std::uint64_t>> {
    for (const Section &s : table) {
      if (rva >= s.address && rva - s.address < s.extent && rva - s.address < s.raw_size) {
        return std::make_pair(s.raw + (rva - s.address), s.raw + s.raw_size);
      }
    }
    return std::nullopt;
  };
  const auto imports = offset_of(*import_rva);
  if (!imports) {
    return;
  }
  for (std::uint64_t at = imports->first; image.needed.size() < kMaxImageNames; at += 20) {
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

void ReadElf(Bytes &bytes, LibraryImage &image) {
  const std::string identification = bytes.Get(0, 16);
  if (identification.size() < 16) {
    return;
  }
  const auto klass = static_cast<unsigned char>(identification[4]);
  const auto data = static_cast<unsigned char>(identification[5]);
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
  for (std::uint64_t i = 0; i < std::min(*phnum, kMaxImageSections); ++i) {
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
  std::optional<std::uint64_t> strtab, strsz, runpath, rpath;
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
    } else if (*tag == 29) {
      runpath = *value;
    } else if (*tag == 15) {
      rpath = *value;
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
  const std::optional<std::uint64_t> path = runpath ? runpath : rpath;
  if (path && *path < end - *table) {
    std::string_view folders;
    const std::string text = NameAt(bytes, *table + *path, end);
    folders = text;
    while (!folders.empty()) {
      const std::size_t colon = std::min(folders.find(':'), folders.size());
      if (colon > 0) {
        image.run_path.emplace_back(folders.substr(0, colon));
      }
      folders.remove_prefix(std::min(colon + 1, folders.size()));
    }
  }
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct IcuPattern {
  std::string_view prefix;
  std::string_view suffix;
};

/// The three name patterns, split around the version, in the order the files are loaded in.
std::vector<IcuPattern> IcuPatterns(IcuNaming naming) {
  if (naming == IcuNaming::Windows) {
    return {{"icudt", ".dll"}, {"icuuc", ".dll"}, {"icuin", ".dll"}};
  }
  return {{"libicudata.so.", ""}, {"libicuuc.so.", ""}, {"libicui18n.so.", ""}};
}

/// The ICU name starting at `at`, one character every `stride` bytes (UTF-16LE: the byte after
/// each is zero); empty when none starts there.
std::string IcuNameAt(std::string_view bytes, std::size_t at, std::size_t stride,
                      const std::vector<IcuPattern> &patterns, bool fold) {
  const auto char_at = [&](std::size_t k) -> int {
    const std::size_t i = at + k * stride;
    if (i >= bytes.size() || (stride == 2 && (i + 1 >= bytes.size() || bytes[i + 1] != '\0'))) {
      return -1;
    }
    return static_cast<unsigned char>(bytes[i]);
  };
  const auto same = [&](int c, char wanted) {
    return c >= 0 && (fold ? Lower(static_cast<char>(c)) : static_cast<char>(c)) == wanted;
  };
  for (const IcuPattern &p : patterns) {
    std::size_t k = 0;
    while (k < p.prefix.size() && same(char_at(k), p.prefix[k])) {
      ++k;
    }
    if (k < p.prefix.size()) {
      continue;
    }
    std::size_t digits = 0;
    while (digits < 4 && char_at(k + digits) >= '0' && char_at(k + digits) <= '9') {
      ++digits;
    }
    // ICU majors are two or three digits (34, 50, 74, 100 ...).
    if (digits < 2 || digits > 3) {
      continue;
    }
    k += digits;
    std::size_t s = 0;
    while (s < p.suffix.size() && same(char_at(k + s), p.suffix[s])) {
      ++s;
    }
    if (s < p.suffix.size()) {
      continue;
    }
    k += s;
    std::string name;
    for (std::size_t i = 0; i < k; ++i) {
      name.push_back(static_cast<char>(char_at(i)));
    }
    return name;
  }
  return {};
}

std::string Folded(std::string_view name) {
  std::string folded(name);
  std::transform(folded.begin(), folded.end(), folded.begin(), Lower);
  return folded;
}

} // namespace

LibraryImage ReadLibraryImage(std::uint64_t file_size, const ImageRead &read) {
  LibraryImage image;
  image.file_size = file_size;
  Bytes bytes(file_size, read);
  const std::string magic = bytes.Get(0, 4);
  if (magic.substr(0, 2) == "MZ") {
    ReadPe(bytes, image);
  } else if (file_size >= 16 && magic == "\x7f"
                                         "ELF") {
    ReadElf(bytes, image);
  }
  return image;
}

LibraryImage ReadLibraryImage(std::string_view bytes) {
  return ReadLibraryImage(bytes.size(), [bytes](std::uint64_t at, std::size_t size) {
    return at >= bytes.size() ? std::string()
                              : std::string(bytes.substr(static_cast<std::size_t>(at), size));
  });
}

std::string BitnessMismatch(const LibraryImage &image, int program_bits) {
  if (image.bits == 0 || image.bits == program_bits) {
    return {};
  }
  return "a " + std::to_string(image.bits) + "-bit library; this program needs the " +
         std::to_string(program_bits) + "-bit one";
}

std::string NotLoadableImage(const LibraryImage &image, int program_bits) {
  if (image.file_size == 0) {
    return "is empty";
  }
  if (image.format == ImageFormat::Unknown) {
    return "is not a library";
  }
  const std::string mismatch = BitnessMismatch(image, program_bits);
  return mismatch.empty() ? std::string() : "is " + mismatch;
}

std::vector<std::string> IcuFileNamesIn(IcuNaming naming, std::string_view bytes) {
  const bool fold = naming == IcuNaming::Windows;
  const std::vector<IcuPattern> patterns = IcuPatterns(naming);
  std::vector<std::string> names;
  std::vector<std::string> seen;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const char first = fold ? Lower(bytes[at]) : bytes[at];
    if (first != (fold ? 'i' : 'l')) {
      continue;
    }
    for (const std::size_t stride : {std::size_t{1}, std::size_t{2}}) {
      const std::string name = IcuNameAt(bytes, at, stride, patterns, fold);
      if (name.empty()) {
        continue;
      }
      const std::string key = fold ? Folded(name) : name;
      if (std::find(seen.begin(), seen.end(), key) == seen.end() && names.size() < kMaxImageNames) {
        seen.push_back(key);
        names.push_back(name);
      }
    }
  }
  return names;
}

std::vector<std::string> IcuLoadOrder(IcuNaming naming, std::vector<std::string> names) {
  const bool fold = naming == IcuNaming::Windows;
  const std::vector<IcuPattern> patterns = IcuPatterns(naming);
  const auto role = [&](const std::string &name) {
    const std::string text = fold ? Folded(name) : name;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      if (text.starts_with(patterns[i].prefix)) {
        return i;
      }
    }
    return patterns.size();
  };
  std::stable_sort(names.begin(), names.end(),
                   [&](const std::string &a, const std::string &b) { return role(a) < role(b); });
  return names;
}

} // namespace kestrovan
