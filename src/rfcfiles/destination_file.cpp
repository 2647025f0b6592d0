// The destination file's lookup by either name, and the rule for an entry's TYPE and SYSNR.
#include "rfcfiles/destination_file.h"

#include "rfcfiles/file_names.h"
#include "wire/text_util.h"

namespace rfcfiles {

namespace {

std::string Value(const ConnectValues &values, const char *key) {
  const auto found = values.find(key);
  return found == values.end() ? std::string() : found->second;
}

} // namespace

DestinationLookup LookUpDestination(const FileReader &read, std::string_view destination,
                                    ConnectValues &entry) {
  const std::string file(kDestinationFile);
  std::string content;
  FileRead found = read(kDestinationFile, content);
  if (found == FileRead::Missing) {
    found = read(kDestinationFileLower, content);
  }
  if (found == FileRead::Missing) {
    return {EntryLookup::FileMissing, file + " is missing in the working directory"};
  }
  if (found == FileRead::TooLarge) {
    return {EntryLookup::FileTooLarge,
            file + " is larger than " + std::to_string(kLargestSettingsFile) + " bytes"};
  }
  if (!FindDestinationEntry(content, destination, entry)) {
    return {EntryLookup::NoEntry, "no DEST=" + std::string(destination) + " entry in " + file};
  }
  return {};
}

ServerKind ServerKindOf(const ConnectValues &values) {
  const std::string type = rfcwire::ToUpper(Value(values, "TYPE"));
  if (type == "B" || (type.empty() && !Value(values, "MSHOST").empty())) {
    return ServerKind::LoadBalancing;
  }
  return type.empty() || type == "A" ? ServerKind::ApplicationServer : ServerKind::Unsupported;
}

std::string UnsupportedTypeProblem(const ConnectValues &values) {
  return "connection TYPE=" + rfcwire::ToUpper(Value(values, "TYPE")) + " is not supported";
}

bool IsSystemNumber(std::string_view sysnr) {
  return sysnr.size() == 2 && rfcwire::AllDigits(sysnr);
}

std::string SystemNumberProblem(std::string_view sysnr) {
  return sysnr.empty() ? "no SYSNR given" : "SYSNR " + std::string(sysnr) + " is not 00..99";
}

} // namespace rfcfiles
