// Writing results into ResultDocument in the flavour that OutputMode names.
#include "output/result_document.h"

#include "output/option_text.h"

namespace {

constexpr std::string_view kChannelSelectKeyword = "CH=";

std::string UnitText(std::string_view unit) {
  if (unit.empty()) return "#";
  if (unit == "PerCent") return "%";
  if (unit == "TimeResponse") return "mSec";
  return std::string(unit);
}

/// The channel number after "CH=": up to three characters as typed, stopping before a comma.
long SelectedChannel(const RunState &state) {
  const std::size_t at = FindOption(state, kChannelSelectKeyword);
  std::string_view rest =
      std::string_view(state.ParameterString).substr(at + kChannelSelectKeyword.size());
  rest = rest.substr(0, kChannelNumberWidth);
  rest = rest.substr(0, rest.find(','));
  return ReadLeadingInteger(rest);
}

} // namespace

bool IsXmlFamily(OutputMode mode) {
  return mode == OutputMode::EXEXML || mode == OutputMode::Pellith || mode == OutputMode::Vintrel;
}

void BeginDocument(RunState &state) {
  if (IsXmlFamily(state.Mode))
    state.ResultDocument = "\n<Prtg>\n";
  else
    state.ResultDocument.clear();
}

void BeginText(RunState &state) {
  state.ResultDocument += IsXmlFamily(state.Mode) ? "\n<Text>" : "\n# ";
}

void EndText(RunState &state) {
  if (IsXmlFamily(state.Mode))
    state.ResultDocument += "</Text>\n";
  else if (state.Mode == OutputMode::Morvane && HasOption(state, kChannelSelectKeyword))
    state.ResultDocument.clear(); // a selected channel's value stands alone
}

void EndDocument(RunState &state) {
  state.ResultDocument += IsXmlFamily(state.Mode) ? "\n</Prtg>\n" : "\n";
}

std::string CleanLabel(std::string_view label) {
  std::string clean(label);
  for (char &c : clean) {
    switch (c) {
    case ' ':
    case '/':
    case '\\':
    case '[':
    case ']':
    case '*':
    case '(':
    case ')':
    case ':':
    case '-':
      c = '_';
      break;
    default:
      break;
    }
  }
  const std::size_t dot = clean.find('.');
  if (dot != std::string::npos) clean[dot] = '_';
  return clean;
}

void AddChannel(RunState &state, std::string_view name, std::string_view value,
                std::string_view unit) {
  ++state.ChannelCount;
  std::string &doc = state.ResultDocument;
  switch (state.Mode) {
  case OutputMode::Halcrest: {
    if (state.ChannelCount > kHalcrestChannelLimit) return;
    const std::string label = CleanLabel(state.GlobalListing ? state.SystemChannelName : name);
    doc += "\n\nMessage.";
    doc += label;
    doc += ": ";
    doc += name;
    doc += " (";
    doc += UnitText(unit);
    doc += ")\nStatistic.";
    doc += label;
    doc += ": ";
    doc += value;
    return;
  }
  case OutputMode::Morvane:
    if (HasOption(state, kChannelSelectKeyword)) {
      if (SelectedChannel(state) == state.ChannelCount) doc += value;
      return;
    }
    doc += "\n> ";
    doc += name;
    doc += ": ";
    doc += value;
    doc += " ";
    doc += UnitText(unit);
    return;
  case OutputMode::EXEXML:
  case OutputMode::Vintrel:
  case OutputMode::Pellith:
    doc += "\n<Result><Channel>";
    doc += name;
    doc += "</Channel>";
    if (!unit.empty()) {
      doc += "\n<Unit>Custom</Unit>\n<CustomUnit>";
      doc += unit;
      doc += "</CustomUnit>";
    }
    doc += "\n<Value>";
    doc += value;
    doc += "</Value></Result>\n";
    return;
  }
}

void MakeErrorDocument(RunState &state, std::string_view text) {
  std::string doc = "<Prtg>\n<Error>1</Error>\n<Text>";
  doc += text;
  doc += "</Text>\n</Prtg>\n";
  state.ResultDocument = std::move(doc);
}

std::string GroupThousands(std::string_view digits) {
  const std::size_t n = digits.size();
  // At most two separators: before the last three digits and before the three ahead of them.
  const std::size_t first = n >= 7 ? n - 6 : n >= 4 ? n - 3 : n;
  std::string grouped(digits.substr(0, first));
  for (std::size_t at = first; at < n; at += 3) {
    grouped += '.';
    grouped += digits.substr(at, 3);
  }
  return grouped;
}
