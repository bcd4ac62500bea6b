#pragma once

// The kind guess over a text, searched whole with SSE2 where there is SSE2. Inline: the builder asks it of every
// address outside the last group.

#include <cstddef>
#include <cstdint>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace sendra::playlist {

// What the kind keywords found in one text say: "series" or "episode" make a series, else "movie", "pelicula" or
// "vod" a film. ASCII letters of `text` count in either case; other bytes never match, so `text` is either ASCII or
// already folded and lower-cased.
enum class KindHint : std::uint8_t { none, cinema, episodic };

inline KindHint kindHint(std::string_view text)
{
    const auto lower = [&](std::size_t i) { return char(text[i] | 0x20); }; // a letter only for a letter
    const auto keywordAt = [&](std::size_t i, std::string_view keyword) {
        if (text.size() - i < keyword.size())
            return false;
        for (std::size_t k = 0; k < keyword.size(); ++k)
            if (lower(i + k) != keyword[k])
                return false;
        return true;
    };
    KindHint hint = KindHint::none;
    // Every keyword opens with one of five letter pairs; only where one of them stands is a keyword looked for.
    const auto look = [&](std::size_t i) {
        if (keywordAt(i, "series") || keywordAt(i, "episode"))
            return true;
        if (keywordAt(i, "movie") || keywordAt(i, "pelicula") || keywordAt(i, "vod"))
            hint = KindHint::cinema;
        return false;
    };
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const auto pair = [](__m128i first, __m128i second, char a, char b) {
        return _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8(a)), _mm_cmpeq_epi8(second, _mm_set1_epi8(b)));
    };
    for (; i + 17 <= text.size(); i += 16) {
        const __m128i first = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i)), caseBit);
        const __m128i second =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + 1)), caseBit);
        const __m128i openings =
            _mm_or_si128(_mm_or_si128(pair(first, second, 's', 'e'), pair(first, second, 'e', 'p')),
                         _mm_or_si128(_mm_or_si128(pair(first, second, 'm', 'o'), pair(first, second, 'p', 'e')),
                                      pair(first, second, 'v', 'o')));
        for (unsigned mask = unsigned(_mm_movemask_epi8(openings)); mask != 0; mask &= mask - 1)
            if (look(i + unsigned(__builtin_ctz(mask))))
                return KindHint::episodic;
    }
#endif
    for (; i < text.size(); ++i)
        if (look(i))
            return KindHint::episodic;
    return hint;
}

} // namespace sendra::playlist
