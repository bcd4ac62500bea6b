#pragma once

#include <zlib.h>

#include <string>

namespace sendra::fakes {

// `text` compressed in one go, as a server would send it: one gzip member (windowBits 31), zlib-wrapped (15) or
// raw deflate (-15). Header-only, so only the tests and benchmarks that use it link zlib.
inline std::string compressed(const std::string& text, int windowBits = 31, int level = 6)
{
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(text.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = uInt(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace sendra::fakes
