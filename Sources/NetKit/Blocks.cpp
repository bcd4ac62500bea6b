#include "NetKit/Blocks.h"

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
        if (lead < 0x80 && i + 16 <= size) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (_mm_movemask_epi8(bytes) == 0) {
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
                out += 16;
                i += 16;
                continue;
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
