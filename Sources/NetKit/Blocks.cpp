#include "NetKit/Blocks.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace netkit {

size_t decodeUtf8(std::string_view text, char16_t* out, LeadingMark mark)
{
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    if (mark == LeadingMark::drop && size >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF)
        i = 3;
    char16_t* const start = out;
    const auto continuation = [&](size_t at) { return at < size && (in[at] & 0xC0) == 0x80; };
    while (i < size) {
        const unsigned char lead = in[i];
#ifdef __SSE2__
        // Titles and ids are mostly ASCII: sixteen such bytes at a time.
        if (lead < 0x80 && size >= 8) {
            const __m128i zero = _mm_setzero_si128();
            if (size >= 16) {
                // The last sixteen bytes end with the text's (never past it). The units of bytes already decoded
                // are written again with the same values: those bytes are ASCII too, one unit each.
                const size_t from = std::min(i, size - 16);
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + from));
                const unsigned high = unsigned(_mm_movemask_epi8(bytes));
                if (high == 0 || from == i) {
                    char16_t* at = out - (i - from);
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_unpacklo_epi8(bytes, zero));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(at + 8), _mm_unpackhi_epi8(bytes, zero));
                    // Up to the first byte that is not ASCII (never the first: `lead` is); the units written past
                    // it stay within the room of the bytes read, and are written over next.
                    const size_t taken = high == 0 ? 16 : size_t(__builtin_ctz(high));
                    out = at + taken;
                    i = from + taken;
                    continue;
                }
            } else {
                // Short texts (ids, most titles) eight bytes at a time, the last eight the same way.
                const size_t from = std::min(i, size - 8);
                const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + from));
                const unsigned high = unsigned(_mm_movemask_epi8(bytes)) & 0xFF;
                if (high == 0 || from == i) {
                    char16_t* at = out - (i - from);
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_unpacklo_epi8(bytes, zero));
                    const size_t taken = high == 0 ? 8 : size_t(__builtin_ctz(high));
                    out = at + taken;
                    i = from + taken;
                    continue;
                }
            }
        }
#endif
        if (lead < 0x80) {
            *out++ = lead;
            ++i;
        } else if (lead >= 0xC2 && lead < 0xE0 && continuation(i + 1)) {
            *out++ = char16_t((lead & 0x1F) << 6 | (in[i + 1] & 0x3F));
            i += 2;
        } else if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
            const char32_t c = (lead & 0x0F) << 12 | (in[i + 1] & 0x3F) << 6 | (in[i + 2] & 0x3F);
            if (c < 0x800 || (c >= 0xD800 && c < 0xE000)) {
                *out++ = 0xFFFD;
                ++i;
                continue;
            }
            *out++ = char16_t(c);
            i += 3;
        } else if (lead >= 0xF0 && lead < 0xF5 && continuation(i + 1) && continuation(i + 2) && continuation(i + 3)) {
            const char32_t c = (lead & 0x07) << 18 | (in[i + 1] & 0x3F) << 12 | (in[i + 2] & 0x3F) << 6 |
                               (in[i + 3] & 0x3F);
            if (c < 0x10000 || c > 0x10FFFF) {
                *out++ = 0xFFFD;
                ++i;
                continue;
            }
            *out++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
            *out++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            i += 4;
        } else {
            *out++ = 0xFFFD;
            ++i;
        }
    }
    return size_t(out - start);
}

} // namespace netkit
