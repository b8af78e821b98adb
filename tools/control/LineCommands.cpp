#include "tools/control/LineCommands.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <vector>

namespace mimicbox::control {

namespace {

struct Command {
    const char* syntax;
    const char* help;
};

constexpr Command kCommands[] = {
    {"list", "list the devices"},
    {"set DEVICE TEMPERATURE", "set a Thermo-Box's temperature (set thermo:3 42.5)"},
    {"switch DEVICE on|off|toggle", "set a Relay-Box's switch"},
    {"drop DEVICE", "close the device's connection; it stays away"},
    {"fault DEVICE KIND", "break the device's next report (fault thermo:1 garbage)"},
    {"add MODEL:SERIALS", "add devices to the running plant (add thermo:7-9)"},
    {"remove DEVICE", "close the device's connection and take it out of the plant"},
    {"q", "stop the run, as Ctrl-C does"},
};

std::string Usage()
{
    std::string usage = "commands:";
    for (const Command& command : kCommands)
        usage += std::string(usage.size() > 9 ? ", " : " ") + command.syntax;
    return usage;
}

// Words typed need not be UTF-8; what is not is replaced in the request's JSON.
constexpr auto kReplace = nlohmann::json::error_handler_t::replace;

std::vector<std::string> Words(std::string_view line)
{
    std::vector<std::string> words;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        words.emplace_back(line.substr(start, end - start));
        at = end;
    }
    return words;
}

// "thermo:7" or "relay:1001-1010" as a [[device]] table; what does not read is passed on as text for
// the API to refuse with its reason.
nlohmann::json DeviceTable(const std::string& devices)
{
    const std::size_t colon = devices.find(':');
    const std::string serials = colon == std::string::npos ? "" : devices.substr(colon + 1);
    nlohmann::json table{{"model", devices.substr(0, colon)}};
    const nlohmann::json serial = nlohmann::json::parse(serials, nullptr, false);
    if (serial.is_number_integer())
        table["serial"] = serial;
    else
        table["serials"] = serials;
    return table;
}

std::string DeviceLine(const nlohmann::json& device)
{
    std::string line = device.value("name", "") + (device.value("connected", false) ? " connected" : " not connected");
    if (device.contains("temperature"))
        line += ", " + device["temperature"].dump() + " °C, " + device.value("profile", "");
    if (device.contains("switch"))
        line += ", switch " + device.value("switch", "");
    return line + ", " + std::to_string(device.value("reports_sent", 0)) + " reports";
}

}  // namespace

bool LineToRequest(std::string_view line, Request& request, std::string& error)
{
    const std::vector<std::string> words = Words(line);
    const std::string verb = words.empty() ? "" : words[0];
    const std::string path = words.size() > 1 ? "/devices/" + words[1] : "";
    if (verb == "list" && words.size() == 1) {
        request = {"GET", "/devices", ""};
    } else if (verb == "q" && words.size() == 1) {
        request = {"POST", "/stop", ""};
    } else if (verb == "set" && words.size() == 3) {
        // A number goes in as one; anything else as text, which the API refuses with its reason.
        const nlohmann::json number = nlohmann::json::parse(words[2], nullptr, false);
        const nlohmann::json value = number.is_number() ? number : nlohmann::json(words[2]);
        request = {"PUT", path + "/temperature", nlohmann::json{{"value", value}}.dump(-1, ' ', false, kReplace)};
    } else if (verb == "switch" && words.size() == 3) {
        request = {"PUT", path + "/switch", nlohmann::json{{"state", words[2]}}.dump(-1, ' ', false, kReplace)};
    } else if (verb == "drop" && words.size() == 2) {
        request = {"POST", path + "/disconnect", ""};
    } else if (verb == "add" && words.size() == 2) {
        request = {"POST", "/devices", DeviceTable(words[1]).dump(-1, ' ', false, kReplace)};
    } else if (verb == "remove" && words.size() == 2) {
        request = {"DELETE", path, ""};
    } else if (verb == "fault" && words.size() == 3) {
        request = {"POST", path + "/fault", nlohmann::json{{"kind", words[2]}}.dump(-1, ' ', false, kReplace)};
    } else {
        error = Usage();
        return false;
    }
    return true;
}

std::string LineCommandsHelp()
{
    std::string help = "Commands typed while it runs, on a terminal:\n";
    for (const Command& command : kCommands) {
        std::string line = std::string("  ") + command.syntax;
        line.resize(std::max<std::size_t>(line.size() + 2, 32), ' ');
        help += line + command.help + "\n";
    }
    return help;
}

std::string ResponseText(const Request& request, Response response)
{
    Render(response);
    const nlohmann::json body = nlohmann::json::parse(response.body, nullptr, false);
    if (response.status / 100 != 2)
        return body.is_object() ? body.value("error", "failed") : "failed";
    if (body.is_object() && body.contains("note") && body["note"].is_string())
        return "ok: " + body["note"].get<std::string>();
    // The devices listed, or added.
    if (request.path != "/devices" || !body.is_array())
        return "ok";
    std::string text;
    for (const nlohmann::json& device : body)
        text += DeviceLine(device) + "\n";
    text += std::to_string(body.size()) + (body.size() == 1 ? " device" : " devices");
    return text;
}

}  // namespace mimicbox::control
