// The destination file: a destination's entry in SapRfc.ini, found by either name of the file,
// and the one rule both libraries apply to the server values of an entry.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "rfcfiles/bounded_file.h"
#include "rfcfiles/connect_data.h"

namespace rfcfiles {

/// Reads the working directory's file of that name, never more than kLargestSettingsFile bytes
/// of it; each library reads its files its own way.
using FileReader = std::function<FileRead(std::string_view name, std::string &content)>;

enum class EntryLookup { Found, FileMissing, FileTooLarge, NoEntry };

/// How the lookup went, and what the library reports when it found no entry.
struct DestinationLookup {
  EntryLookup result = EntryLookup::Found;
  std::string problem; // empty when found
};

/// The entry of destination in "SapRfc.ini", or in "saprfc.ini" when the first is missing.
DestinationLookup LookUpDestination(const FileReader &read, std::string_view destination,
                                    ConnectValues &entry);

/// How a logon reaches its system, by TYPE: "A" (or no TYPE) an application server, "B" (or no
/// TYPE but an MSHOST) load balancing through the message server; any other TYPE none.
enum class ServerKind { ApplicationServer, LoadBalancing, Unsupported };
ServerKind ServerKindOf(const ConnectValues &values);

/// "connection TYPE=X is not supported".
std::string UnsupportedTypeProblem(const ConnectValues &values);

/// SAP's libraries take a system number of exactly two digits, "00" to "99".
bool IsSystemNumber(std::string_view sysnr);

/// What is wrong with a system number that is not one.
std::string SystemNumberProblem(std::string_view sysnr);

} // namespace rfcfiles
