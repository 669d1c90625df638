// The program's one integer conversion: an optional sign and decimal digits
// that fit in 32 bits. Anything else is a conversion error whose message the
// user sees.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace morse {

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::u16string_view text);
// The same conversion, but a default in place of the error.
std::int32_t StrToIntDef(std::u16string_view text, std::int32_t fallback);
bool TryStrToInt(std::u16string_view text, std::int32_t& value);

// A decimal number: optional sign, digits with at most one decimal point,
// optional exponent. Throws EConvertError "'<text>' is not a valid floating
// point value".
double StrToFloat(std::u16string_view text);

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace morse
