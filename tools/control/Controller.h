// The live control of a running plant: requests, as the HTTP layer or a typed line hands them over,
// mapped onto the same actions and faults that a scenario's timed events produce. No HTTP here, and
// every call on the loop's thread, so that tests drive it directly.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/control/DeviceView.h"
#include "tools/control/EventFeed.h"
#include "tools/control/FileSource.h"
#include "tools/control/LiveFaults.h"
#include "tools/control/Metrics.h"
#include "tools/control/Router.h"
#include "tools/report/History.h"
#include "tools/sim/ScenarioPlan.h"
#include "tools/sim/Plant.h"
#include "tools/sim/Summary.h"
#include "tools/sim/Verdict.h"

namespace mimicbox::control {

struct ControllerOptions {
    // POST /devices refuses to make the plant hold more than this.
    std::size_t capacity = sim::kMaxDevicesPerProcess;
    // Where CSV files of profiles may be read from; none when empty.
    std::string dataDir;
    // Live faults that may wait for one device's reports.
    std::size_t maxWaitingFaults = 1000;
};

// What the controller works on; everything must outlive it. The feed may be null (no GET /events).
struct PlantAccess {
    sim::Plant& plant;
    const sim::Summary& summary;
    const Metrics& metrics;
    sim::Scheduler& scheduler;
    FileSource& files;
    EventFeed* feed = nullptr;
    // For the dashboard; without a history its series answer 404.
    report::History* history = nullptr;
    const sim::Verdict* verdict = nullptr;
    uint64_t seed = 0;
    sim::Instant start{};
};

class Controller : public sim::EventSink {
public:
    // `stop` ends the run as SIGTERM does.
    Controller(PlantAccess access, std::function<void()> stop, ControllerOptions options = {});
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    // Answers the request now, or (a fault, a file to read) later.
    void Dispatch(const Request& request, Reply reply) const { router_.Dispatch(request, std::move(reply)); }
    const Router& Routes() const { return router_; }
    // Answers every request still waiting: the run is ending.
    void EndRun() { faults_.EndRun(); }

    // Keeps each device's last report for GET /devices, makes room for devices added, and answers
    // live faults once they fire.
    void OnEvent(const sim::Event& event) override;

private:
    std::vector<Route> Table();
    bool Find(const std::string& name, std::size_t& index, Reply& reply) const;
    // As of `now`, which a list takes once for all its devices.
    DeviceView View(std::size_t index, sim::Instant now) const;
    Response One(std::size_t index) const;
    void List(const std::string& query, Reply reply) const;
    std::vector<DeviceView> Named(std::string_view names, sim::Instant now) const;
    void Add(const std::string& body, Reply reply);
    void AddGroups(std::vector<sim::DeviceGroup> groups, std::size_t next, Reply reply);
    bool CheckNew(const std::vector<sim::DeviceRange>& ranges, Reply& reply) const;
    void Remove(const std::string& name, Reply reply);
    void Change(const std::string& name, const std::string& what, const std::string& body, Reply reply);
    void SetProfile(const std::string& name, const std::string& body, Reply reply);
    void InjectFault(const std::string& name, const std::string& body, Reply reply);
    void Events(const Request& request, Reply reply) const;
    void Glance(Reply reply) const;
    void Series(const Request& request, Reply reply) const;
    void Reports(const std::string& name, Reply reply) const;
    // Reads the CSV file a profile names, if any, then calls `then` on the loop; answers a failure.
    void LoadTable(sim::Profile profile, std::function<void(sim::Profile)> then, Reply reply);

    PlantAccess access_;
    sim::Plant& plant_;
    std::function<void()> stop_;
    ControllerOptions options_;
    LiveFaults faults_;
    std::vector<std::string> lastRecord_;
    Router router_;
};

}  // namespace mimicbox::control
