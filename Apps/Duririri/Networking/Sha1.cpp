#include "Networking/Sha1.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define SENDRA_SHA1_X86 1
#endif

namespace sendra {

namespace {

using State = std::array<std::uint32_t, 5>;

#ifdef SENDRA_SHA1_X86
// Four rounds per instruction; each group of four message words is made from the four before it.
__attribute__((target("sha,sse4.1"))) void compressWithShaExtensions(State& state, const std::uint8_t* blocks,
                                                                        std::size_t count)
{
    const __m128i byteOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data())), 0x1B);
    __m128i e0 = _mm_set_epi32(int(state[4]), 0, 0, 0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abcdBefore = abcd;
        const __m128i eBefore = e0;
        __m128i w[4];
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), byteOrder);
        __m128i previous = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, _mm_add_epi32(e0, w[0]), 0);
#pragma GCC unroll 20
        for (int group = 1; group < 20; ++group) {
            __m128i& word = w[group % 4];
            if (group >= 4) // word still holds group - 4
                word = _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(word, w[(group + 1) % 4]), w[(group + 2) % 4]),
                                          w[(group + 3) % 4]);
            const __m128i e = _mm_sha1nexte_epu32(previous, word);
            previous = abcd;
            switch (group / 5) {
            case 0: abcd = _mm_sha1rnds4_epu32(abcd, e, 0); break;
            case 1: abcd = _mm_sha1rnds4_epu32(abcd, e, 1); break;
            case 2: abcd = _mm_sha1rnds4_epu32(abcd, e, 2); break;
            default: abcd = _mm_sha1rnds4_epu32(abcd, e, 3); break;
            }
        }
        e0 = _mm_sha1nexte_epu32(previous, eBefore);
        abcd = _mm_add_epi32(abcd, abcdBefore);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state.data()), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = std::uint32_t(_mm_extract_epi32(e0, 3));
}

// Asked of the processor itself: clang 14's __builtin_cpu_supports does not know "sha".
bool hasShaExtensions()
{
    static const bool has = [] {
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || !(ecx & bit_SSE4_1))
            return false;
        if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
            return false;
        return (ebx & bit_SHA) != 0;
    }();
    return has;
}
#endif

} // namespace

Sha1::Sha1()
#ifdef SENDRA_SHA1_X86
    : m_withExtensions(hasShaExtensions())
#else
    : m_withExtensions(false)
#endif
{
}

void Sha1::compress(const std::uint8_t* blocks, std::size_t count)
{
#ifdef SENDRA_SHA1_X86
    compressWithShaExtensions(m_state, blocks, count);
#else
    (void)blocks;
    (void)count;
#endif
}

void Sha1::add(std::string_view bytes)
{
    if (!m_withExtensions) {
        m_portable.addData(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        return;
    }
    auto data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    std::size_t size = bytes.size();
    m_length += size;
    if (m_pendingSize > 0) {
        const std::size_t take = std::min(size, m_pending.size() - m_pendingSize);
        std::memcpy(m_pending.data() + m_pendingSize, data, take);
        m_pendingSize += take;
        data += take;
        size -= take;
        if (m_pendingSize < m_pending.size())
            return;
        compress(m_pending.data(), 1);
        m_pendingSize = 0;
    }
    compress(data, size / 64);
    m_pendingSize = size % 64;
    std::memcpy(m_pending.data(), data + size - m_pendingSize, m_pendingSize);
}

std::array<std::uint8_t, 20> Sha1::finish()
{
    std::array<std::uint8_t, 20> digest{};
    if (!m_withExtensions) {
        std::memcpy(digest.data(), m_portable.resultView().data(), digest.size());
        m_portable.reset();
        return digest;
    }
    const std::uint64_t bits = m_length * 8;
    std::uint8_t tail[128] = {};
    std::memcpy(tail, m_pending.data(), m_pendingSize);
    tail[m_pendingSize] = 0x80;
    const std::size_t tailSize = m_pendingSize + 9 <= 64 ? 64 : 128;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 1 - i] = std::uint8_t(bits >> (8 * i));
    compress(tail, tailSize / 64);
    for (int i = 0; i < 20; ++i)
        digest[i] = std::uint8_t(m_state[i / 4] >> (24 - 8 * (i % 4)));
    m_state = kInitial;
    m_pendingSize = 0;
    m_length = 0;
    return digest;
}

} // namespace sendra
