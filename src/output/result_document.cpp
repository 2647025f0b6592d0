// Writing the result document in the flavour of the run, and the error document.
#include "output/result_document.h"

namespace kestrovan {

namespace {

std::string UnitText(std::string_view unit) {
  if (unit.empty()) {
    return "#";
  }
  if (unit == "PerCent") {
    return "%";
  }
  if (unit == "TimeResponse") {
    return "mSec";
  }
  return std::string(unit);
}

} // namespace

bool IsXmlFamily(OutputMode mode) {
  return mode == OutputMode::EXEXML || mode == OutputMode::Pellith || mode == OutputMode::Vintrel;
}

void ResultDocument::BeginDocument() {
  if (IsXmlFamily(mode_)) {
    text_ = "\n<Prtg>\n";
  } else {
    text_.clear();
  }
}

void ResultDocument::BeginText() { text_ += IsXmlFamily(mode_) ? "\n<Text>" : "\n# "; }

void ResultDocument::EndText() {
  if (IsXmlFamily(mode_)) {
    text_ += "</Text>\n";
  } else if (mode_ == OutputMode::Morvane && selected_channel_) {
    text_.clear(); // a selected channel's value stands alone
  }
}

void ResultDocument::EndDocument() { text_ += IsXmlFamily(mode_) ? "\n</Prtg>\n" : "\n"; }

std::string ResultDocument::Take() {
  std::string taken = std::move(text_);
  text_.clear();
  return taken;
}

void ResultDocument::AddChannel(std::string_view name, std::string_view value,
                                std::string_view unit) {
  ++channel_count_;
  std::string &doc = text_;
  switch (mode_) {
  case OutputMode::Halcrest: {
    if (channel_count_ > kHalcrestChannelLimit) {
      return;
    }
    const std::string label = CleanLabel(name);
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
    if (selected_channel_) {
      if (*selected_channel_ == channel_count_) {
        doc += value;
      }
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

std::string ErrorDocument(std::string_view text) {
  std::string doc = "<Prtg>\n<Error>1</Error>\n<Text>";
  doc += text;
  doc += "</Text>\n</Prtg>\n";
  return doc;
}

std::string WithTraceDetail(std::string text, const std::optional<std::string> &detail) {
  if (!detail) {
    return text + " - Look for Trace-File";
  }
  return text + (detail->empty() ? std::string(" - Please Check Trace-File !") : " - " + *detail);
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
  if (dot != std::string::npos) {
    clean[dot] = '_';
  }
  return clean;
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

} // namespace kestrovan
