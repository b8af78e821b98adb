#include "tools/control/DeviceView.h"

#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>

#include "tools/report/ByteText.h"
#include "tools/report/Text.h"
#include "tools/sim/Device.h"

namespace mimicbox::control {

namespace {

// Numbers in their shortest form that reads back the same: a temperature of 21.37 is "21.37".
using report::AppendNumber;

double Rounded(double value) { return std::round(value * 1000.0) / 1000.0; }

void AppendField(std::string& out, const char* name)
{
    out += out.size() > 1 ? ",\"" : "\"";
    out += name;
    out += "\":";
}

}  // namespace

// Written by hand rather than through a JSON object: a list of 10,000 devices is made every few
// seconds while the dashboard is open, and this is several times faster. Only the last record is
// text from outside; the JSON library escapes it.
std::string DeviceJson(const DeviceView& device)
{
    std::string out = "{";
    AppendField(out, "name");
    out += "\"" + sim::DeviceName(device.identity) + "\"";
    AppendField(out, "model");
    out += std::string("\"") + ModelKey(device.identity.nDeviceType) + "\"";
    AppendField(out, "serial");
    AppendNumber(out, device.identity.nSerial);
    AppendField(out, "connected");
    out += device.connected ? "true" : "false";
    AppendField(out, "state");
    out += std::string("\"") + device.state + "\"";
    if (device.identity.nDeviceType == TYPE_THERMO) {
        AppendField(out, "temperature");
        AppendNumber(out, device.temperature);
        AppendField(out, "profile");
        out += std::string("\"") + sim::ProfileKindName(device.profile) + "\"";
    } else {
        AppendField(out, "switch");
        out += device.switchState ? "\"on\"" : "\"off\"";
        AppendField(out, "obeying");
        out += device.obeying ? "true" : "false";
    }
    AppendField(out, "period");
    AppendNumber(out, device.period);
    AppendField(out, "reports_sent");
    AppendNumber(out, device.reports);
    AppendField(out, "commands_received");
    AppendNumber(out, device.commands);
    AppendField(out, "faults_waiting");
    AppendNumber(out, device.faultsWaiting);
    AppendField(out, "lateness_p99_ms");
    AppendNumber(out, Rounded(device.latenessP99));
    if (device.lastReportAge >= 0) {
        AppendField(out, "last_report_age");
        AppendNumber(out, Rounded(device.lastReportAge));
    }
    // Byte N as code point N, as the log and the history give records: the page shows each byte that
    // is not printable as \xNN, everywhere alike.
    AppendField(out, "last_record");
    out += nlohmann::json(report::Latin1ToUtf8(device.lastRecord)).dump(-1, ' ', true);
    out += '}';
    return out;
}

Response DeviceList(std::vector<DeviceView> devices, int status)
{
    Response response(status, "");
    response.render = [devices = std::make_shared<const std::vector<DeviceView>>(std::move(devices))] {
        std::string body = "[";
        for (const DeviceView& device : *devices) {
            if (body.size() > 1)
                body += ',';
            body += DeviceJson(device);
        }
        body += "]\n";
        return body;
    };
    return response;
}

}  // namespace mimicbox::control
