// What a value's text turns into under the profile reader, told in a player's words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

struct ValueRemark {
    bool warning;       // the number read is not the one the text evidently means
    std::string remark; // follows "`Key=text`"
};

// in: text, the value as written; read, what the reader made of it, shown as shownRead.
// None when the text is a plain whole number that the reader takes as written.
std::optional<ValueRemark> remarkOnValue(const std::string& text, const std::string& shownRead);

// The value's text as a whole number, when it is one: an optional sign and digits only.
std::optional<long double> plainWholeNumber(const std::string& text);

} // namespace sim
