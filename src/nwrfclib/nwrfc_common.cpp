// Code page ISO 8859-1: one byte per character; a character beyond it becomes '#'.
#include "nwrfclib/nwrfc_common.h"

#include <algorithm>

namespace nwrfclib {

std::string Latin1(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (const char16_t unit : text) {
    bytes.push_back(unit <= 0xFF ? static_cast<char>(unit) : '#');
  }
  return bytes;
}

std::u16string Wide(std::string_view bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    text.push_back(static_cast<unsigned char>(c));
  }
  return text;
}

std::u16string_view Terminated(const Unit *text) {
  if (text == nullptr) {
    return {};
  }
  std::size_t length = 0;
  while (text[length] != 0) {
    ++length;
  }
  return std::u16string_view(text, length);
}

Rc Fill(ErrorInfo *error, Rc code, nwrfc::Group group, std::u16string_view key,
        std::string_view message) {
  if (error == nullptr) {
    return code;
  }
  *error = ErrorInfo{};
  error->code = code;
  error->group = group;
  const std::u16string text = Wide(message);
  std::copy_n(key.begin(), std::min(key.size(), std::size(error->key) - 1), error->key);
  std::copy_n(text.begin(), std::min(text.size(), std::size(error->message) - 1), error->message);
  return code;
}

Rc Ok(ErrorInfo *error) {
  if (error) {
    *error = ErrorInfo{};
  }
  return nwrfc::kOk;
}

Rc BadHandle(ErrorInfo *error, std::string_view what) {
  return Fill(error, nwrfc::kInvalidHandle, nwrfc::kGroupExternalRuntimeFailure,
              u"RFC_INVALID_HANDLE",
              std::string("An invalid handle was passed: ") + std::string(what));
}

Rc BadParameter(ErrorInfo *error, std::string message) {
  return Fill(error, nwrfc::kInvalidParameter, nwrfc::kGroupExternalRuntimeFailure,
              u"RFC_INVALID_PARAMETER", message);
}

} // namespace nwrfclib
