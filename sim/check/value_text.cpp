#include "sim/check/value_text.h"

#include "sim/host/profile_reader.h"

#include <cctype>
#include <string>
#include <string_view>

namespace sim {
namespace {

bool isDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

std::size_t digitsAt(std::string_view text, std::size_t at)
{
    std::size_t end = at;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    return end - at;
}

std::string_view withoutQuotes(std::string_view text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front()) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

std::optional<ValueRemark> remarkOnNumberStart(std::string_view text, const std::string& read)
{
    const std::size_t sign = (text.front() == '+' || text.front() == '-') ? 1 : 0;
    if (text.substr(sign).starts_with("0x")) {
        return ValueRemark{false, "is read as hexadecimal: " + read};
    }
    const std::size_t whole = digitsAt(text, sign);
    if (whole == 0) {
        return ValueRemark{true, "is not a number: the plug-in reads " + read};
    }
    const std::size_t after = sign + whole;
    if (text[after] == '.' && digitsAt(text, after + 1) > 0) {
        const std::size_t end = after + 1 + digitsAt(text, after + 1);
        if (end == text.size()) {
            return ValueRemark{true, "has decimals: whole numbers only, the plug-in reads " + read};
        }
    }
    if (text.find_first_of("eE", after) != std::string_view::npos &&
        (text[after] == 'e' || text[after] == 'E' || text[after] == '.')) {
        return ValueRemark{true,
                           "has an exponent, which is not understood: the plug-in reads " + read};
    }
    return ValueRemark{false,
                       "has more after its number, which is ignored: the plug-in reads " + read};
}

} // namespace

std::optional<long double> plainWholeNumber(const std::string& text)
{
    const std::size_t sign = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    if (text.size() == sign || digitsAt(text, sign) != text.size() - sign) {
        return std::nullopt;
    }
    long double value = 0;
    for (std::size_t i = sign; i < text.size(); ++i) {
        value = value * 10 + static_cast<long double>(text[i] - '0');
    }
    return text[0] == '-' ? -value : value;
}

std::optional<ValueRemark> remarkOnValue(const std::string& text, const std::string& read)
{
    const std::string_view inner = withoutQuotes(text);
    if (inner.size() > profileValueCapacity) {
        return ValueRemark{true, "is longer than the " + std::to_string(profileValueCapacity) +
                                     " characters the reader takes: the plug-in reads " + read};
    }
    if (const auto number = plainWholeNumber(std::string(inner))) {
        // Below a signed 32-bit number's least, a negative one wraps as surely as a large one.
        if (*number > 4294967295.0L || *number < -2147483648.0L) {
            return ValueRemark{true, "is beyond 32 bits and wraps: the plug-in reads " + read};
        }
        if (inner.size() != text.size()) {
            return ValueRemark{false, "has quotes, which are dropped: the plug-in reads " + read};
        }
        return std::nullopt;
    }
    const bool numberStart =
        !inner.empty() && (isDigit(inner.front()) || inner.front() == '+' || inner.front() == '-');
    if (!numberStart) {
        return ValueRemark{true, "is not a number: the plug-in reads " + read};
    }
    return remarkOnNumberStart(inner, read);
}

} // namespace sim
