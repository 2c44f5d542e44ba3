#include "boundary/param_string.h"

namespace priv {
namespace {

constexpr std::string_view kEscapedEquals = "&eq%";
constexpr std::string_view kEscapedSeparator = "&lim%";

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

struct Item {
    std::string_view name;
    std::string_view value;
    bool hasSeparator = false;
};

Item ParseItem(std::string_view piece)
{
    const std::size_t eq = piece.find(kParamNameValueSeparator);
    if (eq == std::string_view::npos)
        return {piece, {}, false};
    return {piece.substr(0, eq), piece.substr(eq + 1), true};
}

} // namespace

std::string EscapeParamValue(std::string_view value)
{
    return ReplaceAll(ReplaceAll(value, "=", kEscapedEquals), ";", kEscapedSeparator);
}

std::string UnescapeParamValue(std::string_view text)
{
    return ReplaceAll(ReplaceAll(text, kEscapedEquals, "="), kEscapedSeparator, ";");
}

std::vector<std::string> SplitParamItems(std::string_view text, char separator)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t hit = text.find(separator, start);
        if (hit == std::string_view::npos) {
            pieces.emplace_back(text.substr(start));
            return pieces;
        }
        pieces.emplace_back(text.substr(start, hit - start));
        start = hit + 1;
    }
}

std::string GetParamValue(std::string_view params, std::string_view name)
{
    for (const std::string& piece : SplitParamItems(params, kParamItemSeparator)) {
        const Item item = ParseItem(piece);
        if (item.hasSeparator && item.name == name && !item.value.empty())
            return UnescapeParamValue(item.value);
    }
    return {};
}

std::string SetParamValue(std::string_view params, std::string_view name, std::string_view value)
{
    const std::string escaped = EscapeParamValue(value);
    std::string newItem;
    newItem.append(name).push_back(kParamNameValueSeparator);
    newItem.append(escaped);
    if (params.empty())
        return newItem;

    const std::vector<std::string> pieces = SplitParamItems(params, kParamItemSeparator);
    bool found = false;
    for (const std::string& piece : pieces) {
        const Item item = ParseItem(piece);
        if (item.hasSeparator && item.name == name) {
            found = true;
            break;
        }
    }
    if (!found) {
        std::string out(params);
        if (out.back() != kParamItemSeparator)
            out.push_back(kParamItemSeparator);
        return out + newItem;
    }

    // Rebuild every item followed by ';'. Empty pieces (left by a trailing or
    // doubled ';') are no items and are dropped; a piece without '=' is kept
    // as it was rather than gaining an empty value.
    std::string out;
    bool replaced = false;
    for (const std::string& piece : pieces) {
        if (piece.empty())
            continue;
        const Item item = ParseItem(piece);
        if (!replaced && item.hasSeparator && item.name == name) {
            out += newItem;
            replaced = true;
        } else {
            out += piece;
        }
        out.push_back(kParamItemSeparator);
    }
    return out;
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, pos - start));
            pos += (c == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ? 2 : 1;
            start = pos;
        } else {
            ++pos;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

} // namespace priv
