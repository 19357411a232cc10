#include "sim/text.h"

#include <cstdint>
#include <utility>

namespace sim {
namespace {

// Windows-1252's 0x80..0x9F; 0 where the code page defines no letter.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t fromCp1252(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0) {
        const char16_t c = cp1252High[byte - 0x80];
        return c == 0 ? U'\uFFFD' : c;
    }
    return byte;
}

// The length of the well-formed UTF-8 sequence at text[at], or 0 when there is none: shortest
// forms only, no surrogates, nothing past U+10FFFF.
std::size_t sequenceAt(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) {
        return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
    };
    const unsigned lead = byte(0);
    const auto tail = [&](std::size_t i) { return (byte(i) & 0xC0u) == 0x80u; };
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return tail(1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned high = lead == 0xED ? 0x9F : 0xBF;
        return byte(1) >= low && byte(1) <= high && tail(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
        return byte(1) >= low && byte(1) <= high && tail(2) && tail(3) ? 4 : 0;
    }
    return 0;
}

void makePlayerText(nlohmann::json& json)
{
    if (json.is_string()) {
        json = playerText(json.get_ref<const std::string&>());
    } else if (json.is_array()) {
        for (nlohmann::json& item : json) {
            makePlayerText(item);
        }
    } else if (json.is_object()) {
        nlohmann::json object = nlohmann::json::object();
        for (auto& [key, value] : json.items()) {
            makePlayerText(value);
            object[playerText(key)] = std::move(value);
        }
        json = std::move(object);
    }
}

} // namespace

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string jsonText(nlohmann::json json)
{
    makePlayerText(json);
    return json.dump(2);
}

std::string playerText(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = sequenceAt(bytes, at);
        if (length > 0) {
            out.append(bytes.substr(at, length));
            at += length;
        } else {
            appendUtf8(out, fromCp1252(static_cast<unsigned char>(bytes[at])));
            ++at;
        }
    }
    return out;
}

std::string markupText(std::string_view bytes)
{
    std::string out;
    for (const char c : playerText(bytes)) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                out += "\xEF\xBF\xBD";
            } else {
                out += c;
            }
        }
    }
    return out;
}

namespace {

// Control characters from a file must not drive the terminal (clear it, retitle it) nor cut a
// message short (a NUL): each shows as U+FFFD.
std::string withoutControls(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool c0 = (c < 0x20 && c != '\t') || c == 0x7F;
        const bool c1 = c == 0xC2 && i + 1 < utf8.size() &&
                        static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F;
        if (c0 || c1) {
            out += "\xEF\xBF\xBD";
            i += c1 ? 1 : 0;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

} // namespace

std::string shown(std::string_view text)
{
    const std::string utf8 = withoutControls(playerText(text.substr(0, shownBytes + 4)));
    if (text.size() <= shownBytes) {
        return utf8;
    }
    std::size_t end = std::min(shownBytes, utf8.size());
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
        --end; // a continuation byte: the letter began earlier
    }
    return utf8.substr(0, end) + "... (cut short; the whole text is " +
           std::to_string(text.size()) + " bytes)";
}

std::string shownWhole(std::string_view text)
{
    return withoutControls(playerText(text));
}

} // namespace sim
