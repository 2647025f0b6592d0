// Parsing of fault words.
#include "sapsim/fault.h"

#include "wire/text_util.h"

namespace sapsim {
namespace {

constexpr std::size_t kMaxExceptionName = 30; // ABAP's limit for exception names

bool ValidExceptionName(std::string_view name) {
  if (name.empty() || name.size() > kMaxExceptionName) {
    return false;
  }
  for (char c : name) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) {
      return false;
    }
  }
  return true;
}

// Splits off the first blank-separated word.
std::string_view NextWord(std::string_view &text) {
  text = rfcwire::Trim(text);
  std::size_t end = 0;
  while (end < text.size() && !rfcwire::IsBlank(text[end])) {
    ++end;
  }
  const std::string_view word = text.substr(0, end);
  text = rfcwire::Trim(text.substr(end));
  return word;
}

} // namespace

bool ParseFault(std::string_view text, bool for_logon, Fault &fault, std::string &problem) {
  std::string_view rest = text;
  std::string_view word = NextWord(rest);
  fault = Fault();
  if (!for_logon && word.substr(0, 5) == "call_") {
    fault.phase = Fault::Phase::Call;
    word.remove_prefix(5);
    if (word != "failure" && word != "hang" && word != "drop" && word != "garbage") {
      problem = "unknown fault call_" + std::string(word) +
                " (call_failure, call_hang, call_drop or call_garbage)";
      return false;
    }
  }
  const bool takes_text = word == "failure" || word == "system_exception" || word == "exception";
  if (word == "exception" && !for_logon) {
    fault.kind = Fault::Kind::Exception;
    fault.name = std::string(NextWord(rest));
    if (!ValidExceptionName(fault.name)) {
      problem = "exception needs a name of 1 to 30 characters A-Z, 0-9 or _";
      return false;
    }
  } else if (word == "system_exception" && !for_logon) {
    fault.kind = Fault::Kind::SystemException;
  } else if (word == "failure") {
    fault.kind = Fault::Kind::Failure;
  } else if (word == "hang") {
    fault.kind = Fault::Kind::Hang;
  } else if (word == "drop") {
    fault.kind = Fault::Kind::Drop;
  } else if (word == "garbage") {
    fault.kind = Fault::Kind::Garbage;
  } else if (word == "stall" && !for_logon && fault.phase == Fault::Phase::Reply) {
    fault.kind = Fault::Kind::Stall;
  } else if (word == "trickle" && !for_logon && fault.phase == Fault::Phase::Reply) {
    fault.kind = Fault::Kind::Trickle;
  } else {
    problem = "unknown fault " + std::string(word) +
              (for_logon ? " (failure, hang, drop or garbage)"
                         : " (exception NAME, system_exception, failure, hang, drop, garbage, "
                           "stall, trickle, or call_failure, call_hang, call_drop, "
                           "call_garbage)");
    return false;
  }
  if (takes_text) {
    fault.text = std::string(rest);
  } else if (!rest.empty()) {
    problem = "fault " + std::string(word) + " takes no further words";
    return false;
  }
  return true;
}

} // namespace sapsim
