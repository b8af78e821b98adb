// Runs the devices of a mimicbox-cli invocation on one event loop: each connects on its own TCP
// connection, reports at fixed deadlines and acts on what the server sends, until the run ends.
#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "tools/EventLoop.h"
#include "tools/cli/RunOptions.h"
#include "tools/cli/SimulatedDevice.h"

namespace mimicbox {

class Runner {
public:
    // Prints records and the summary on `out`, failures on `err`; neither is owned.
    Runner(const RunOptions& options, EventLoop& loop, std::FILE* out, std::FILE* err);
    ~Runner();

    // Connects every device and runs the loop until the run ends: the report count or the duration
    // is reached, a termination signal arrives, or no device is left. Closes every connection, prints
    // the summary and returns the exit status: 0, or 1 when a connection failed or was lost for good.
    int Run();

private:
    struct DeviceRun;

    void Connect(DeviceRun& run);
    void OnConnected(DeviceRun& run);
    void ScheduleReport(DeviceRun& run);
    void SendReport(DeviceRun& run);
    void Flush(DeviceRun& run);
    void OnReadable(DeviceRun& run);
    void Drop(DeviceRun& run, const std::string& strReason);
    void Disconnect(DeviceRun& run);
    void StopIfFinished();
    void PrintSummary(const DeviceRun& run);
    void WatchSocket(DeviceRun& run);

    RunOptions m_options;
    EventLoop& m_loop;
    std::FILE* m_out;
    std::FILE* m_err;
    std::vector<std::unique_ptr<DeviceRun>> m_runs;
};

}  // namespace mimicbox
