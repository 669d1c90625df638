#include "morse/convert.h"

#include <charconv>
#include <system_error>

namespace morse {

bool TryStrToInt(std::u16string_view text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < u'0' || c > u'9') return false;
    magnitude = magnitude * 10 + (c - u'0');
    if (magnitude > std::int64_t{1} << 31) return false;
  }
  const std::int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX || result < INT32_MIN) return false;
  value = static_cast<std::int32_t>(result);
  return true;
}

std::int32_t StrToInt(std::u16string_view text) {
  std::int32_t value = 0;
  if (!TryStrToInt(text, value)) {
    throw EConvertError("'" + ToUtf8(text) + "' is not a valid integer value");
  }
  return value;
}

std::int32_t StrToIntDef(std::u16string_view text, std::int32_t fallback) {
  std::int32_t value = 0;
  return TryStrToInt(text, value) ? value : fallback;
}

double StrToFloat(std::u16string_view text) {
  std::string ascii;
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') ascii += static_cast<char>(text[i++]);
    return i - start;
  };
  // from_chars takes a minus sign but no plus.
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') ascii += '-';
    ++i;
  }
  std::size_t mantissa = digits();
  if (i < text.size() && text[i] == u'.') {
    ascii += '.';
    ++i;
    mantissa += digits();
  }
  bool ok = mantissa > 0;
  if (ok && i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    ascii += 'e';
    ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ascii += static_cast<char>(text[i++]);
    ok = digits() > 0;
  }
  // from_chars ignores the C locale, which Qt sets from the environment. A
  // number beyond a double's range, either way, is refused rather than read
  // as 0.
  double value = 0;
  if (ok && i == text.size()) {
    ok = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value).ec == std::errc();
  } else {
    ok = false;
  }
  if (!ok) throw EConvertError("'" + ToUtf8(text) + "' is not a valid floating point value");
  return value;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    char32_t cp = 0xFFFD;
    std::size_t len = 1;
    auto cont = [&](std::size_t k) {
      return i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    };
    auto bits = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]) & 0x3F; };
    if (b0 < 0x80) {
      cp = b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF && cont(1)) {
      cp = ((b0 & 0x1F) << 6) | bits(1);
      len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF && cont(1) && cont(2)) {
      cp = ((b0 & 0x0F) << 12) | (bits(1) << 6) | bits(2);
      len = 3;
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    } else if (b0 >= 0xF0 && b0 <= 0xF4 && cont(1) && cont(2) && cont(3)) {
      cp = ((b0 & 0x07) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
      len = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return out;
}

}  // namespace morse
