#include "tools/control/DeviceView.h"

#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>

#include "tools/sim/Device.h"

namespace mimicbox::control {

std::string DeviceJson(const DeviceView& device)
{
    nlohmann::ordered_json json = {
        {"name", sim::DeviceName(device.identity)},
        {"model", ModelKey(device.identity.nDeviceType)},
        {"serial", device.identity.nSerial},
        {"connected", device.connected},
        {"state", device.state},
    };
    if (device.identity.nDeviceType == TYPE_THERMO) {
        json["temperature"] = device.temperature;
        json["profile"] = sim::ProfileKindName(device.profile);
    } else {
        json["switch"] = device.switchState ? "on" : "off";
        json["obeying"] = device.obeying;
    }
    json["period"] = device.period;
    json["reports_sent"] = device.reports;
    json["commands_received"] = device.commands;
    json["faults_waiting"] = device.faultsWaiting;
    json["lateness_p99_ms"] = std::round(device.latenessP99 * 1000.0) / 1000.0;
    if (device.lastReportAge >= 0)
        json["last_report_age"] = std::round(device.lastReportAge * 1000.0) / 1000.0;
    json["last_record"] = device.lastRecord;
    return json.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
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
