#include "vgm/gzip_input.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace {

constexpr size_t firstChunk = 64 * 1024;
constexpr int gzipWindowBits = 15 + 16;  // zlib's way of asking for the gzip wrapper

// Owns a zlib inflate stream for the length of one call.
class Inflater {
public:
    Inflater()
    {
        if (inflateInit2(&stream_, gzipWindowBits) != Z_OK) throw GzipError("cannot start inflating");
    }
    ~Inflater() { inflateEnd(&stream_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream& stream() { return stream_; }

private:
    z_stream stream_{};
};

}  // namespace

bool isGzip(std::span<const uint8_t> bytes) { return bytes.size() >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B; }

std::vector<uint8_t> inflateGzip(std::span<const uint8_t> bytes, size_t limit, size_t* leftOver)
{
    if (leftOver != nullptr) *leftOver = 0;
    Inflater inflater;
    z_stream& stream = inflater.stream();
    std::vector<uint8_t> out;
    size_t produced = 0;
    size_t consumed = 0;

    for (;;) {
        if (produced == out.size()) {
            // Grow geometrically, but never past one byte more than the limit:
            // that byte is how a result above the limit is noticed.
            if (out.size() > limit) throw GzipTooLarge("too large when decompressed");
            out.resize(std::min(limit + 1, std::max(firstChunk, out.size() * 2)));
        }
        const size_t inputLeft = bytes.size() - consumed;
        stream.next_in = const_cast<Bytef*>(bytes.data() + consumed);
        stream.avail_in = static_cast<uInt>(std::min<size_t>(inputLeft, UINT_MAX));
        stream.next_out = out.data() + produced;
        stream.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));

        const uInt inputOffered = stream.avail_in;
        const uInt outputOffered = stream.avail_out;
        const int status = inflate(&stream, Z_NO_FLUSH);
        consumed += inputOffered - stream.avail_in;
        produced += outputOffered - stream.avail_out;

        if (produced > limit) throw GzipTooLarge("too large when decompressed");
        if (status == Z_STREAM_END) {
            // Concatenated members make one file, as gzip itself reads them;
            // zeros after the last (padding) are nothing, other data is left over.
            const std::span<const uint8_t> rest = bytes.subspan(consumed);
            if (std::all_of(rest.begin(), rest.end(), [](uint8_t byte) { return byte == 0; })) break;
            if (!isGzip(rest)) {
                if (leftOver != nullptr) *leftOver = rest.size();
                break;
            }
            if (inflateReset(&stream) != Z_OK) throw GzipError("cannot restart inflating");
            continue;
        }
        if (status == Z_BUF_ERROR && stream.avail_out != 0) throw GzipError("gzip stream cut short");
        if (status != Z_OK && status != Z_BUF_ERROR) throw GzipError("corrupt gzip stream");
    }
    out.resize(produced);
    return out;
}
