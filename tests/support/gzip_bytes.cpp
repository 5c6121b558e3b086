#include "support/gzip_bytes.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace testing_support {
namespace {

class Deflater {
public:
    Deflater()
    {
        if (deflateInit2(&stream_, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("deflateInit2");
    }
    ~Deflater() { deflateEnd(&stream_); }

    void feed(const uint8_t* data, size_t size, bool last, std::vector<uint8_t>& out)
    {
        stream_.next_in = const_cast<Bytef*>(data);
        stream_.avail_in = static_cast<uInt>(size);
        int status;
        do {
            uint8_t chunk[16384];
            stream_.next_out = chunk;
            stream_.avail_out = sizeof chunk;
            status = deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
            out.insert(out.end(), chunk, chunk + (sizeof chunk - stream_.avail_out));
        } while (stream_.avail_out == 0 || (last && status != Z_STREAM_END));
    }

private:
    z_stream stream_{};
};

}  // namespace

std::vector<uint8_t> gzipBytes(const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out;
    Deflater().feed(data.data(), data.size(), true, out);
    return out;
}

std::vector<uint8_t> gzipZeros(size_t zeroBytes)
{
    const std::vector<uint8_t> zeros(1 << 20, 0);
    std::vector<uint8_t> out;
    Deflater deflater;
    for (size_t left = zeroBytes; left > 0;) {
        const size_t size = std::min(left, zeros.size());
        left -= size;
        deflater.feed(zeros.data(), size, left == 0, out);
    }
    return out;
}

}  // namespace testing_support
