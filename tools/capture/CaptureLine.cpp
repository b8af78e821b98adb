#include "tools/capture/CaptureLine.h"

#include <array>
#include <charconv>

#include "core/DeviceModel.h"
#include "link/Record.h"
#include "tools/report/ByteText.h"
#include "tools/report/RecordDecoder.h"
#include "tools/report/Text.h"

namespace mimicbox::capture {

namespace {

using report::AppendNumber;

// Seconds to the microsecond, which is what a capture can tell apart, without trailing zeros.
void AppendSeconds(std::string& out, double seconds)
{
    std::array<char, 40> digits;
    char* end = std::to_chars(digits.data(), digits.data() + digits.size(), seconds, std::chars_format::fixed, 6).ptr;
    while (end[-1] == '0' && end[-2] != '.')
        --end;
    out.append(digits.data(), end);
}

void AppendKey(std::string& out, const char* key)
{
    out += ",\"";
    out += key;
    out += "\":";
}

void AppendRecord(std::string& out, std::string_view record)
{
    const report::RecordCheck check = report::CheckRecord(record);
    if (!check.readable) {
        out += "{\"unreadable\":";
        AppendJsonString(out, check.problem);
        out += '}';
        return;
    }
    out += "{\"model\":";
    out += check.deviceType == TYPE_THERMO ? "\"thermo\"" : check.deviceType == TYPE_RELAY ? "\"relay\"" : "\"other\"";
    AppendKey(out, "serial");
    AppendNumber(out, check.serial);
    AppendKey(out, "command");
    AppendNumber(out, check.command);
    if (check.command == CMD_REPORT) {
        AppendKey(out, "clock");
        AppendNumber(out, check.clock);
        if (check.deviceType == TYPE_THERMO) {
            AppendKey(out, "temperature");
            AppendJsonString(out, check.temperature);
        } else {
            AppendKey(out, "switch");
            out += check.switchState ? "\"on\"" : "\"off\"";
        }
    }
    out += '}';
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        } else if (byte == '"' || byte == '\\') {
            out += '\\';
            out += c;
        } else if (byte >= 0x20) {
            out += c;
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\r') {
            out += "\\r";
        } else {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        }
    }
    out += '"';
}

void AppendJsonText(std::string& out, std::string_view text)
{
    if (!report::IsUtf8(text)) {
        AppendJsonString(out, text);
        return;
    }
    // Control characters and quotes as AppendJsonString writes them; the rest as it is.
    std::size_t from = 0;
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == '"' || byte == '\\') {
            out.append(text.substr(from, i - from));
            std::string escaped;
            AppendJsonString(escaped, text.substr(i, 1));
            out.append(escaped, 1, escaped.size() - 2);
            from = i + 1;
        }
    }
    out.append(text.substr(from));
    out += '"';
}

std::string HeaderLine(const CaptureHeader& header)
{
    std::string line = "{\"capture\":\"mimicbox\"";
    AppendKey(line, "version");
    AppendNumber(line, kVersion);
    AppendKey(line, "source");
    AppendJsonText(line, header.source);
    AppendKey(line, "server");
    AppendJsonText(line, header.server);
    AppendKey(line, "start_wall");
    AppendNumber(line, header.startWall);
    line += "}\n";
    return line;
}

void AppendEventLine(std::string& out, const CaptureEvent& event, const std::vector<std::string_view>& records)
{
    out += "{\"t\":";
    AppendSeconds(out, event.t);
    AppendKey(out, "wall");
    AppendNumber(out, event.wall);
    AppendKey(out, "conn");
    AppendNumber(out, event.conn);
    AppendKey(out, "peer");
    AppendJsonText(out, event.peer);
    AppendKey(out, "event");
    AppendJsonString(out, KindName(event.kind));
    if (event.kind == CaptureKind::kData || event.kind == CaptureKind::kHalfClose || event.kind == CaptureKind::kReset) {
        AppendKey(out, "from");
        AppendJsonString(out, SideName(event.from));
    }
    if (event.kind == CaptureKind::kData) {
        AppendKey(out, "bytes");
        AppendJsonString(out, event.bytes);
        AppendKey(out, "records");
        out += '[';
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (i > 0)
                out += ',';
            AppendRecord(out, records[i]);
        }
        out += ']';
    }
    if (!event.reason.empty()) {
        AppendKey(out, "reason");
        AppendJsonText(out, event.reason);
    }
    out += "}\n";
}

std::string EventLine(const CaptureEvent& event, const std::vector<std::string_view>& records)
{
    std::string line;
    AppendEventLine(line, event, records);
    return line;
}

}  // namespace mimicbox::capture
