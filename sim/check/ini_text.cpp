#include "sim/check/ini_text.h"

#include "sim/host/profile_text.h"

#include <string_view>

namespace sim {
namespace {

IniLine classify(std::string_view line, std::uint64_t number)
{
    IniLine out;
    out.number = number;
    line = trimProfileSpace(line);
    if (line.empty()) {
        return out;
    }
    if (line.front() == ';' || line.front() == '#') {
        out.kind = IniLineKind::Comment;
        return out;
    }
    const auto close = line.rfind(']');
    if (line.front() == '[' && close != std::string_view::npos && close > 0) {
        out.kind = IniLineKind::Section;
        out.name = std::string(trimProfileSpace(upToNul(line.substr(1, close - 1))));
        return out;
    }
    out.kind = IniLineKind::Key;
    const auto equals = line.find('=');
    out.name = std::string(upToNul(trimProfileSpace(line.substr(0, equals))));
    out.hasEquals = equals != std::string_view::npos;
    if (out.hasEquals) {
        out.value = std::string(upToNul(trimProfileSpace(line.substr(equals + 1))));
    }
    return out;
}

} // namespace

IniText scanIni(const std::string& bytes)
{
    IniText text;
    std::string_view body(bytes);
    std::string narrowed;
    if (body.starts_with("\xEF\xBB\xBF")) {
        text.encoding = IniEncoding::Utf8;
        body.remove_prefix(3);
    } else if (body.starts_with("\xFF\xFE")) {
        text.encoding = IniEncoding::Utf16;
        appendNarrowedUtf16(body.substr(2), narrowed);
        body = narrowed;
    }
    std::uint64_t number = 0;
    while (!body.empty()) {
        const auto end = body.find_first_of("\r\n");
        const std::string_view line = body.substr(0, end);
        IniLine classified = classify(line, ++number);
        if (classified.kind != IniLineKind::Blank) {
            text.lines.push_back(std::move(classified));
        }
        if (end == std::string_view::npos) {
            break;
        }
        // A CR LF pair ends one line, as a lone CR or LF does.
        const bool pair = body[end] == '\r' && end + 1 < body.size() && body[end + 1] == '\n';
        body.remove_prefix(end + (pair ? 2 : 1));
    }
    return text;
}

} // namespace sim
