#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace sendra::playlist {

// A line longer than this is skipped whole: no playlist line comes near it (a few kilobytes at most, a logo given
// inline perhaps a few megabytes), and the line coming in is held until its end arrives.
constexpr std::size_t kMaxLineBytes = std::size_t(16) << 20;

// Whether a text that is not valid UTF-8 fails (CommandError::invalidResponse) or is read as far as it goes.
enum class Utf8Check { lenient, strict };

// Frames a text that arrives in pieces into stretches of whole lines, handed in order to `take` as soon as they are
// in: only the line still coming in is kept, up to kMaxLineBytes and its line end. A longer line is skipped as it
// arrives; with Utf8Check::strict its bytes are still checked (CommandError::invalidResponse), the lines handed on
// being the taker's to check.
class LineFramer
{
public:
    LineFramer(Utf8Check utf8, std::function<void(std::string_view)> take);

    void push(std::string_view bytes);
    // The end of the text: the line still held is handed on.
    void finish();

private:
    void keep(std::string_view bytes);
    std::string_view skipOverLongLine(std::string_view bytes);
    void checkSkipped(std::string_view bytes, bool last);

    const bool m_strictUtf8;
    const std::function<void(std::string_view)> m_take;
    std::string m_tail;      // the line still coming in
    bool m_skipping = false; // past an over-long line, up to its end
    std::string m_skipped;   // that line's last bytes
    std::string m_cutChar;   // a UTF-8 character the last piece cut
};

} // namespace sendra::playlist
