#include "tools/control/http/RequestParser.h"

#include <algorithm>
#include <charconv>

#include "tools/control/http/HttpText.h"

namespace mimicbox::control::http {

namespace {

constexpr std::size_t kMaxChunkLine = 1024;

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
    // The same bound as while the head is incomplete, so that the answer does not hang on how the
    // bytes arrived: the head with its empty line fits the limit.
    if (end > limits_.head)
        return Fail(431, "the request's head is over " + std::to_string(limits_.head / 1024) + " KB");
    input.erase(0, end - before);
    head_.resize(end);
    if (!ParseHead(head_) || !ChooseBody())
        return Result::kError;
    if (stage_ == Stage::kDone)
        return Result::kDone;
    return Result::kHead;
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

}  // namespace mimicbox::control::http
