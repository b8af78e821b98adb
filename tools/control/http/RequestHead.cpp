// The head of a request: its request line and headers, and what they say of the body.
#include <algorithm>
#include <charconv>

#include "tools/control/http/HttpText.h"
#include "tools/control/http/RequestParser.h"

namespace mimicbox::control::http {

bool RequestParser::ParseHead(const std::string& head)
{
    std::size_t start = 0;
    bool first = true;
    while (start < head.size()) {
        std::size_t end = head.find('\n', start);
        std::string line = head.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            break;
        if (first ? !ParseRequestLine(line) : !ParseHeaderLine(line))
            return false;
        first = false;
    }
    return true;
}

bool RequestParser::ParseRequestLine(const std::string& line)
{
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos || line.find(' ', second + 1) != std::string::npos) {
        Fail(400, "the request line is not 'METHOD PATH HTTP/1.1'");
        return false;
    }
    request_.method = line.substr(0, first);
    request_.target = line.substr(first + 1, second - first - 1);
    const std::string version = line.substr(second + 1);
    if (!IsToken(request_.method)) {
        Fail(400, "the request line is not 'METHOD PATH HTTP/1.1'");
        return false;
    }
    if (version.size() != 8 || version.compare(0, 5, "HTTP/") != 0 || version[6] != '.' || version[5] < '0' ||
        version[5] > '9' || version[7] < '0' || version[7] > '9') {
        Fail(400, "the request line is not 'METHOD PATH HTTP/1.1'");
        return false;
    }
    if (version[5] != '1') {
        Fail(505, "only HTTP/1.0 and HTTP/1.1 are spoken here");
        return false;
    }
    request_.minorVersion = version[7] - '0';
    keepAlive_ = request_.minorVersion >= 1;
    if (request_.target.empty() || request_.target.front() != '/') {
        Fail(400, "the path must start with '/'");
        return false;
    }
    const std::size_t question = request_.target.find('?');
    if (!PercentDecode(std::string_view(request_.target).substr(0, question), request_.path)) {
        Fail(400, "the path has a '%' without two hex digits");
        return false;
    }
    if (question != std::string::npos)
        request_.query = request_.target.substr(question + 1);
    return true;
}

bool RequestParser::ParseHeaderLine(const std::string& line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos || !IsToken(std::string_view(line).substr(0, colon))) {
        Fail(400, "a header line is not 'Name: value'");
        return false;
    }
    if (request_.headers.size() >= limits_.headers) {
        Fail(431, "more than " + std::to_string(limits_.headers) + " headers");
        return false;
    }
    request_.headers.emplace_back(Lower(std::string_view(line).substr(0, colon)),
                                  std::string(Trim(std::string_view(line).substr(colon + 1))));
    return true;
}

bool RequestParser::ChooseBody()
{
    if (const std::string* connection = request_.Header("connection")) {
        const std::string value = Lower(*connection);
        if (value.find("close") != std::string::npos)
            keepAlive_ = false;
        else if (value.find("keep-alive") != std::string::npos)
            keepAlive_ = true;
    }
    if (const std::string* expect = request_.Header("expect"))
        expectsContinue_ = Lower(*expect) == "100-continue";
    const std::string* encoding = request_.Header("transfer-encoding");
    const std::string* length = request_.Header("content-length");
    if (encoding) {
        if (length) {
            Fail(400, "a request has Content-Length or Transfer-Encoding, not both");
            return false;
        }
        if (Lower(*encoding) != "chunked") {
            Fail(501, "only chunked transfer encoding is taken");
            return false;
        }
        chunked_ = true;
        stage_ = Stage::kChunkSize;
        return true;
    }
    std::size_t size = 0;
    if (length) {
        for (const auto& [key, value] : request_.headers) {
            if (key == "content-length" && value != *length) {
                Fail(400, "Content-Length is given twice, differently");
                return false;
            }
        }
        const auto result = std::from_chars(length->data(), length->data() + length->size(), size);
        const bool digits = !length->empty() && std::all_of(length->begin(), length->end(),
                                                            [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || (result.ec != std::errc{} && result.ec != std::errc::result_out_of_range)) {
            Fail(400, "Content-Length is no length: '" + *length + "'");
            return false;
        }
        if (result.ec == std::errc::result_out_of_range || size > limits_.body) {
            BodyTooLarge();
            return false;
        }
    }
    remaining_ = size;
    stage_ = size == 0 ? Stage::kDone : Stage::kBody;
    if (size == 0)
        expectsContinue_ = false;
    return true;
}

}  // namespace mimicbox::control::http
