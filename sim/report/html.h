// The report page's writer. Whatever comes from a player's files (names, paths, comments, reasons)
// reaches the page only as an argument to a format, and every argument is escaped: text becomes
// markup only by a call that says so (trusted), which the chart writers' SVG alone goes through.
// So a name left unescaped is not a slip of one call site among many; it cannot be written.
#pragma once

#include "sim/text.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace sim::html {

// Markup, made by format (its arguments escaped) or trusted (said to be markup already).
struct Markup {
    std::string text;
};

inline Markup trusted(std::string text)
{
    return {std::move(text)};
}

// Text escaped, markup as it is, numbers as they are (their format specs still apply).
template <typename T> auto escaped(const T& value)
{
    if constexpr (std::is_same_v<T, Markup>) {
        return std::string_view(value.text);
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return markupText(std::string_view(value));
    } else {
        static_assert(std::is_arithmetic_v<T> && !std::is_same_v<T, char>,
                      "the page writes text, markup and numbers only");
        return value;
    }
}
template <typename T> using Escaped = decltype(escaped(std::declval<const T&>()));

// The format is the page's own markup, a literal checked when compiled; each argument escaped.
template <typename... Args>
Markup format(fmt::format_string<Escaped<Args>...> markup, const Args&... args)
{
    return {fmt::format(markup, escaped(args)...)};
}

struct Writer {
    std::ostream& out;
    template <typename... Args>
    void put(fmt::format_string<Escaped<Args>...> markup, const Args&... args)
    {
        fmt::print(out, markup, escaped(args)...);
    }
    void put(const Markup& markup) { out << markup.text; }
};

} // namespace sim::html
