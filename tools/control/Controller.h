// The live control of a running plant: requests, as the HTTP layer hands them over, mapped onto the
// same actions and faults that a scenario's timed events produce. No HTTP here, and every call on the
// loop's thread, so that tests drive it directly.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/control/Metrics.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Summary.h"

namespace mimicbox::control {

struct Request {
    std::string method;  // "GET", "PUT", "POST", ...
    std::string path;    // "/devices/thermo:3/temperature", without the query
    std::string body;
};

struct Response {
    Response() = default;
    Response(int code, std::string text, std::string type = "application/json")
        : status(code), body(std::move(text)), contentType(std::move(type))
    {
    }

    int status = 200;
    std::string body;  // JSON, or the metrics text
    std::string contentType = "application/json";
    // When set, makes the body from a snapshot of its own, on any thread: a long answer is written
    // away from the loop, so that it does not hold up the reports.
    std::function<std::string()> render;
};

// {"error": "MESSAGE"} with the status.
Response JsonError(int status, const std::string& message);

// Fills in the body from `render`, if it is set.
void Render(Response& response);

// What GET /devices shows of one device, taken on the loop's thread.
struct DeviceView {
    DeviceIdentity identity;
    bool connected = false;
    float temperature = 0;
    sim::ProfileKind profile = sim::ProfileKind::kSteps;
    int switchState = 0;
    bool obeying = true;
    double period = 0;  // seconds
    uint64_t reports = 0;
    uint64_t commands = 0;
    std::string lastRecord;
};

std::string DeviceJson(const DeviceView& device);

class Controller : public sim::EventSink {
public:
    // The plant, summary and metrics are not owned and must outlive the controller; `stop` ends the
    // run as SIGTERM does. POST /devices refuses to make the plant hold more than `capacity` devices.
    Controller(sim::Plant& plant, const sim::Summary& summary, const Metrics& metrics, std::function<void()> stop,
               std::size_t capacity = sim::kMaxDevicesPerProcess);

    Response Handle(const Request& request);

    // Keeps each device's last report for GET /devices, and makes room for devices added.
    void OnEvent(const sim::Event& event) override;

private:
    Response Devices() const;
    DeviceView View(std::size_t index) const;
    Response One(std::size_t index) const;
    static Response List(std::vector<DeviceView> devices, int status);
    Response AddDevices(const std::string& body);
    bool CheckNew(const std::vector<sim::DeviceRange>& ranges, Response& error) const;
    Response OnDevice(const Request& request, const std::vector<std::string>& parts);
    Response Act(std::size_t index, const std::string& what, const std::string& body);

    sim::Plant& plant_;
    const sim::Summary& summary_;
    const Metrics& metrics_;
    std::function<void()> stop_;
    std::size_t capacity_;
    std::vector<std::string> lastRecord_;
};

}  // namespace mimicbox::control
