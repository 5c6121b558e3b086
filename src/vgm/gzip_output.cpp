#include "vgm/gzip_output.h"

#include <zlib.h>

#include <stdexcept>

std::vector<uint8_t> gzipBytes(std::span<const uint8_t> bytes)
{
    z_stream stream{};
    constexpr int gzipWindowBits = 15 + 16;  // zlib's way of asking for the gzip wrapper
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, gzipWindowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot start gzip compression");
    // A gzip header and trailer on top of deflate's own bound.
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(bytes.size())) + 32);
    stream.next_in = const_cast<Bytef*>(bytes.data());
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("gzip compression failed");
    return out;
}
