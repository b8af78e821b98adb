#include "tools/report/Packed.h"

#include <zlib.h>

namespace mimicbox::report {

namespace {

std::string Gzip(std::string_view text)
{
    z_stream stream{};
    // 15 window bits, and 16 more for a gzip header, as DecompressionStream('gzip') reads.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string packed(deflateBound(&stream, static_cast<uLong>(text.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return done ? packed : std::string();
}

std::string Base64(std::string_view bytes)
{
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t left = bytes.size() - i;
        uint32_t word = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (left > 1)
            word |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (left > 2)
            word |= static_cast<unsigned char>(bytes[i + 2]);
        text += kDigits[(word >> 18) & 63];
        text += kDigits[(word >> 12) & 63];
        text += left > 1 ? kDigits[(word >> 6) & 63] : '=';
        text += left > 2 ? kDigits[word & 63] : '=';
    }
    return text;
}

}  // namespace

std::string GzipBase64(std::string_view text)
{
    // zlib counts in 32 bits; a page this large is past any browser anyway.
    if (text.size() > (std::size_t{1} << 31))
        return {};
    const std::string packed = Gzip(text);
    return packed.empty() ? std::string() : Base64(packed);
}

}  // namespace mimicbox::report
