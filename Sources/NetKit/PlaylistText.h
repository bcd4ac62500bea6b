#pragma once

// The byte-level reading of M3U playlist text (UTF-8) that the application's playlist reader and the core
// library's parser share: line ends, white space, the attributes of an information line and its title comma.

#include <cstddef>
#include <optional>
#include <string_view>

namespace netkit::playlist {

// Where the next line end at or after `from` starts (the text's size when there is none) and, in `length`, how
// many bytes it takes. Line ends: LF, VT, FF, CR, NEL (U+0085) and the line and paragraph separators (U+2028,
// U+2029); a CR LF pair is two line ends with an empty line between them.
std::size_t findLineEnd(std::string_view text, std::size_t from, std::size_t& length);

// `text` without the white space at both ends: blanks, tabs and the Unicode space separators (U+00A0, U+1680,
// U+2000-U+200A, U+202F, U+205F, U+3000), and, with `byteOrderMark`, U+FEFF.
std::string_view trimmed(std::string_view text, bool byteOrderMark = true);

// The three attributes of an information line. Each is the text after the first `name="` anywhere in the line
// (case-sensitive) up to the next double quote; absent without that occurrence or without the closing quote.
struct Attributes
{
    std::optional<std::string_view> tvgId;
    std::optional<std::string_view> tvgLogo;
    std::optional<std::string_view> groupTitle;

    explicit Attributes(std::string_view line);
};

// The first comma outside a quoted attribute value; the first comma at all when the quotes never balance;
// npos when there is none.
std::size_t titleComma(std::string_view line);

// Attributes(line) and titleComma(line) together, found in one pass over the line.
struct InformationLine
{
    std::optional<std::string_view> tvgId;
    std::optional<std::string_view> tvgLogo;
    std::optional<std::string_view> groupTitle;
    std::size_t titleComma = std::string_view::npos;

    explicit InformationLine(std::string_view line);
};

// True when every byte is below 0x80.
bool isAscii(std::string_view text);

} // namespace netkit::playlist
