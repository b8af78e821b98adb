#include "tools/control/Controller.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "tools/control/EventStream.h"
#include "tools/control/RequestBodies.h"
#include "tools/control/http/HttpText.h"
#include "tools/control/http/RequestParser.h"
#include "tools/sim/CsvTable.h"
#include "tools/sim/DeviceRange.h"

namespace mimicbox::control {

namespace {

// A page's visible rows; more is what the whole list is for.
constexpr std::size_t kMostNamed = 500;

}  // namespace

Controller::Controller(PlantAccess access, std::function<void()> stop, ControllerOptions options)
    : access_(access), plant_(access.plant), stop_(std::move(stop)), options_(std::move(options)),
      faults_(access.scheduler, access.scheduler.Now()), lastRecord_(plant_.Size()), router_(Table())
{
}

void Controller::OnEvent(const sim::Event& event)
{
    if (event.kind == sim::EventKind::kAdded && event.device >= lastRecord_.size())
        lastRecord_.resize(event.device + 1);
    if (event.kind == sim::EventKind::kSent && event.device < lastRecord_.size())
        lastRecord_[event.device].assign(event.record);
    faults_.OnEvent(event);
}

bool Controller::Find(const std::string& name, std::size_t& index, Reply& reply) const
{
    sim::DeviceRange range;
    std::string reason;
    if (!sim::ParseDeviceRange(name, range, reason) || range.first != range.last) {
        reply(JsonError(404, "no such device: '" + name + "'"));
        return false;
    }
    index = plant_.Find({range.deviceType, range.first});
    if (index == plant_.Size()) {
        reply(JsonError(404, "no such device: " + name));
        return false;
    }
    return true;
}

DeviceView Controller::View(std::size_t index, sim::Instant now) const
{
    const sim::Session& session = plant_.At(index);
    const sim::Device& device = session.GetDevice();
    const sim::DeviceStats& stats = access_.summary.Devices()[index];
    return {device.Identity(),
            session.Connected(),
            session.StateName(now),
            device.Temperature(),
            device.GetProfile().kind,
            device.SwitchState(),
            device.Obeying(),
            std::chrono::duration<double>(device.Period()).count(),
            stats.reports,
            stats.commands,
            session.FaultsWaiting(),
            sim::ToMilliseconds(stats.lateness.Percentile(0.99)),
            stats.hasLastSent ? std::chrono::duration<double>(now - stats.lastSent).count() : -1.0,
            lastRecord_[index]};
}

Response Controller::One(std::size_t index) const
{
    return {200, DeviceJson(View(index, access_.scheduler.Now())) + "\n"};
}

void Controller::List(const std::string& query, Reply reply) const
{
    const sim::Instant now = access_.scheduler.Now();
    std::string names;
    if (http::QueryValue(query, "names", names)) {
        reply(DeviceList(Named(names, now), 200));
        return;
    }
    std::vector<DeviceView> devices;
    devices.reserve(plant_.HeldCount());
    for (std::size_t i = 0; i < plant_.Size(); ++i) {
        if (plant_.Holds(i))
            devices.push_back(View(i, now));
    }
    reply(DeviceList(std::move(devices), 200));
}

// The rows a page shows, refreshed without the whole list: names that are no device, or no longer
// one, are left out rather than refused.
std::vector<DeviceView> Controller::Named(std::string_view names, sim::Instant now) const
{
    std::vector<DeviceView> devices;
    while (!names.empty() && devices.size() < kMostNamed) {
        const std::size_t comma = names.find(',');
        const std::string name(names.substr(0, comma));
        names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
        sim::DeviceRange range;
        std::string reason;
        if (!sim::ParseDeviceRange(name, range, reason) || range.first != range.last)
            continue;
        const std::size_t index = plant_.Find({range.deviceType, range.first});
        if (index != plant_.Size())
            devices.push_back(View(index, now));
    }
    return devices;
}

void Controller::Change(const std::string& name, const std::string& what, const std::string& body, Reply reply)
{
    std::size_t index = 0;
    if (!Find(name, index, reply))
        return;
    const int32_t type = plant_.At(index).GetDevice().Identity().nDeviceType;
    if (what == "temperature" && type != TYPE_THERMO) {
        reply(JsonError(400, "a Relay-Box has no temperature"));
        return;
    }
    if (what == "switch" && type != TYPE_RELAY) {
        reply(JsonError(400, "a Thermo-Box has no switch"));
        return;
    }
    sim::Action action;
    std::string error;
    const bool read = what == "temperature" ? ReadTemperature(body, action, error)
                      : what == "switch"    ? ReadSwitch(body, action, error)
                                            : ReadConnectionAction(what, body, action, error);
    if (!read) {
        reply(JsonError(400, error));
        return;
    }
    const sim::ProfileKind before = plant_.At(index).GetDevice().GetProfile().kind;
    plant_.At(index).Apply(action);
    Response answer = One(index);
    // A sine or a table would overwrite the value at the next report: the set ended it, and says so.
    if (what == "temperature" && sim::ProfileIsAbsolute(before)) {
        answer.body.insert(answer.body.rfind('}'), std::string(",\"note\":\"the ") + sim::ProfileKindName(before) +
                                                       " profile ended: the device holds this temperature\"");
    }
    reply(std::move(answer));
}

void Controller::SetProfile(const std::string& name, const std::string& body, Reply reply)
{
    std::size_t index = 0;
    if (!Find(name, index, reply))
        return;
    if (plant_.At(index).GetDevice().Identity().nDeviceType != TYPE_THERMO) {
        reply(JsonError(400, "a Relay-Box has no temperature"));
        return;
    }
    sim::Profile profile;
    std::string error;
    if (!ReadProfile(body, profile, error)) {
        reply(JsonError(400, error));
        return;
    }
    LoadTable(
        std::move(profile),
        [this, name, reply](sim::Profile loaded) {
            // The device may have gone while the file was read.
            std::size_t now = 0;
            Reply answer = reply;
            if (!Find(name, now, answer))
                return;
            sim::Action action;
            action.kind = sim::ActionKind::kSetProfile;
            action.profile = std::move(loaded);
            plant_.At(now).Apply(action);
            answer(One(now));
        },
        reply);
}

void Controller::LoadTable(sim::Profile profile, std::function<void(sim::Profile)> then, Reply reply)
{
    if (profile.file.empty()) {
        then(std::move(profile));
        return;
    }
    if (options_.dataDir.empty()) {
        reply(JsonError(400, "profile.file: files are read only from the folder given with --data-dir; give the "
                             "table inline as \"rows\" or \"csv\""));
        return;
    }
    const std::string name = profile.file;
    access_.files.Read(options_.dataDir, name,
                       [profile = std::move(profile), then = std::move(then), reply, name](bool ok, std::string text,
                                                                                          std::string error) mutable {
                           auto points = std::make_shared<std::vector<sim::TablePoint>>();
                           if (ok && !sim::ParseCsvTable(text, *points, error))
                               error = name + ": " + error;
                           else if (ok)
                               profile.points = std::move(points);
                           if (!profile.points) {
                               reply(JsonError(400, "profile.file: " + error));
                               return;
                           }
                           profile.file.clear();
                           then(std::move(profile));
                       });
}

void Controller::InjectFault(const std::string& name, const std::string& body, Reply reply)
{
    std::size_t index = 0;
    if (!Find(name, index, reply))
        return;
    sim::Session& session = plant_.At(index);
    sim::Fault fault;
    std::string error;
    if (!ReadFault(body, fault, error)) {
        reply(JsonError(400, error));
        return;
    }
    if (!sim::FaultAppliesTo(fault.kind, session.GetDevice().Identity().nDeviceType)) {
        reply(JsonError(400, std::string(sim::FaultKindName(fault.kind)) + " needs a Thermo-Box"));
        return;
    }
    if (session.FaultsWaiting() >= options_.maxWaitingFaults) {
        reply(JsonError(429, std::to_string(options_.maxWaitingFaults) + " faults wait for " + name + "'s reports already"));
        return;
    }
    session.InjectFault(fault, faults_.Expect(sim::DeviceName(session.GetDevice().Identity()), sim::FaultKindName(fault.kind),
                                              std::move(reply)));
}

void Controller::Events(const Request& request, Reply reply) const
{
    if (!access_.feed) {
        reply(JsonError(404, "no event stream here"));
        return;
    }
    uint64_t from = access_.feed->Next();
    if (!http::QueryWhole(request.query, "since", from)) {
        reply(JsonError(400, "since: a sequence number is needed"));
        return;
    }
    std::string reports = "1";
    http::QueryValue(request.query, "reports", reports);
    if (reports != "0" && reports != "1") {
        reply(JsonError(400, "reports: 0 or 1"));
        return;
    }
    std::optional<DeviceIdentity> device;
    std::string name;
    if (http::QueryValue(request.query, "device", name)) {
        std::size_t index = 0;
        if (!Find(name, index, reply))
            return;
        device = plant_.At(index).GetDevice().Identity();
    }
    Response stream(200, "", "text/event-stream");
    stream.headers.emplace_back("Cache-Control", "no-cache");
    stream.stream = std::make_shared<EventStream>(*access_.feed, from, reports == "1", device);
    reply(std::move(stream));
}

}  // namespace mimicbox::control
