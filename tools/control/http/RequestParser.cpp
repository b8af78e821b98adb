#include "tools/control/http/RequestParser.h"

#include <algorithm>
#include <charconv>

namespace mimicbox::control::http {

namespace {

constexpr std::size_t kMaxChunkLine = 1024;

bool IsTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Where the head ends in `text` (the index after its empty line), or npos.
std::size_t HeadEnd(std::string_view text)
{
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
        if (at + 1 < text.size() && text[at + 1] == '\n')
            return at + 2;
        if (at + 2 < text.size() && text[at + 1] == '\r' && text[at + 2] == '\n')
            return at + 3;
    }
    return std::string_view::npos;
}

}  // namespace

const std::string* HttpRequest::Header(std::string_view name) const
{
    for (const auto& [key, value] : headers) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

void RequestParser::Reset()
{
    stage_ = Stage::kHead;
    request_ = HttpRequest{};
    head_.clear();
    remaining_ = 0;
    chunked_ = false;
    expectsContinue_ = false;
    keepAlive_ = true;
    started_ = false;
}

RequestParser::Result RequestParser::Feed(std::string& input)
{
    switch (stage_) {
    case Stage::kHead: return ReadHead(input);
    case Stage::kBody: return ReadBody(input);
    case Stage::kChunkSize:
    case Stage::kChunkData:
    case Stage::kChunkEnd:
    case Stage::kTrailer: return ReadChunked(input);
    case Stage::kDone: return Result::kDone;
    case Stage::kFailed: return Result::kError;
    }
    return Result::kError;
}

RequestParser::Result RequestParser::Fail(int status, std::string text)
{
    stage_ = Stage::kFailed;
    errorStatus_ = status;
    errorText_ = std::move(text);
    return Result::kError;
}

RequestParser::Result RequestParser::ReadHead(std::string& input)
{
    // Empty lines before a request are passed over.
    if (head_.empty()) {
        const std::size_t first = input.find_first_not_of("\r\n");
        input.erase(0, first == std::string::npos ? input.size() : first);
    }
    if (input.empty())
        return Result::kNeedMore;
    started_ = true;
    // Only what may still belong to the head is looked at; the body stays in `input`.
    const std::size_t before = head_.size();
    head_.append(input, 0, std::min(input.size(), limits_.head + 3 - std::min(head_.size(), limits_.head + 3)));
    const std::size_t end = HeadEnd(head_);
    if (end == std::string::npos) {
        if (head_.size() > limits_.head)
            return Fail(431, "the request's head is over " + std::to_string(limits_.head / 1024) + " KB");
        input.erase(0, head_.size() - before);
        return Result::kNeedMore;
    }
    if (end > limits_.head + 2)
        return Fail(431, "the request's head is over " + std::to_string(limits_.head / 1024) + " KB");
    input.erase(0, end - before);
    head_.resize(end);
    if (!ParseHead(head_) || !ChooseBody())
        return Result::kError;
    if (stage_ == Stage::kDone)
        return Result::kDone;
    return Result::kHead;
}

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

bool RequestParser::TakeBody(std::string& input)
{
    const std::size_t take = std::min(remaining_, input.size());
    request_.body.append(input, 0, take);
    input.erase(0, take);
    remaining_ -= take;
    return remaining_ == 0;
}

RequestParser::Result RequestParser::ReadBody(std::string& input)
{
    if (!TakeBody(input))
        return Result::kNeedMore;
    stage_ = Stage::kDone;
    return Result::kDone;
}

RequestParser::Result RequestParser::BodyTooLarge()
{
    return Fail(413, "the body is over " + std::to_string(limits_.body >> 20) + " MB");
}

bool RequestParser::TakeLine(std::string& input, std::string& line, std::size_t limit, bool& tooLong)
{
    const std::size_t end = input.find('\n');
    tooLong = (end == std::string::npos ? input.size() : end) > limit;
    if (end == std::string::npos || tooLong)
        return false;
    line = input.substr(0, end);
    input.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

RequestParser::Result RequestParser::ReadChunked(std::string& input)
{
    for (;;) {
        std::string line;
        bool tooLong = false;
        switch (stage_) {
        case Stage::kChunkSize: {
            if (!TakeLine(input, line, kMaxChunkLine, tooLong))
                return tooLong ? Fail(400, "a chunk size line is too long") : Result::kNeedMore;
            const std::string_view size = Trim(std::string_view(line).substr(0, line.find(';')));
            std::size_t value = 0;
            const auto result = std::from_chars(size.data(), size.data() + size.size(), value, 16);
            if (size.empty() || result.ptr != size.data() + size.size() ||
                (result.ec != std::errc{} && result.ec != std::errc::result_out_of_range))
                return Fail(400, "a chunk size is no hex number");
            if (result.ec == std::errc::result_out_of_range || value > limits_.body - request_.body.size())
                return BodyTooLarge();
            remaining_ = value;
            stage_ = value == 0 ? Stage::kTrailer : Stage::kChunkData;
            break;
        }
        case Stage::kChunkData:
            if (!TakeBody(input))
                return Result::kNeedMore;
            stage_ = Stage::kChunkEnd;
            break;
        case Stage::kChunkEnd:
            if (!TakeLine(input, line, 2, tooLong))
                return tooLong ? Fail(400, "a chunk does not end where its size says") : Result::kNeedMore;
            if (!line.empty())
                return Fail(400, "a chunk does not end where its size says");
            stage_ = Stage::kChunkSize;
            break;
        case Stage::kTrailer:
            // Trailer fields are read and left aside.
            if (!TakeLine(input, line, limits_.head, tooLong))
                return tooLong ? Fail(431, "a trailer line is too long") : Result::kNeedMore;
            if (line.empty()) {
                stage_ = Stage::kDone;
                return Result::kDone;
            }
            break;
        default: return Fail(400, "the body does not read");
        }
    }
}

bool PercentDecode(std::string_view text, std::string& decoded)
{
    decoded.clear();
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size() || HexDigit(text[i + 1]) < 0 || HexDigit(text[i + 2]) < 0)
            return false;
        decoded += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
        i += 2;
    }
    return true;
}

bool QueryValue(std::string_view query, std::string_view name, std::string& value)
{
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        const std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) != name)
            continue;
        return PercentDecode(equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1), value);
    }
    return false;
}

}  // namespace mimicbox::control::http
