// Bytes made small for a page that opens from a file: gzip (zlib), then base64, which the page's
// script turns back with the browser's own DecompressionStream.
#pragma once

#include <string>
#include <string_view>

namespace mimicbox::report {

// `text` gzipped and written in base64; empty when zlib fails, which it does only without memory.
std::string GzipBase64(std::string_view text);

}  // namespace mimicbox::report
