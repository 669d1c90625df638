// Letter case for the trainer's texts: only the ASCII letters change, so an
// accented letter keeps its code (and its empty element string).
#pragma once

namespace morse {

constexpr char16_t AsciiUpper(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}

constexpr char16_t AsciiLower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

}  // namespace morse
