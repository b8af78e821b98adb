#include "tools/cli/RecordCommand.h"

#include <CLI/CLI.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdio>

#include "tools/capture/CaptureWriter.h"
#include "tools/io/ChooseSender.h"
#include "tools/io/DescriptorLimit.h"
#include "tools/io/HostResolver.h"
#include "tools/io/RecordProxy.h"
#include "tools/io/StopSignals.h"
#include "tools/options/Arguments.h"
#include "tools/options/HostPort.h"

namespace mimicbox::cli {

namespace {

constexpr const char* kAbout = "Records what devices and their server send each other: a transparent proxy that "
                               "devices connect to instead of the server.\n";

void Describe(CLI::App& app, RecordOptions& options)
{
    app.set_help_flag();
    app.add_option("--listen", options.listen, "where the devices connect (port 0 picks a free one)")
        ->type_name("ADDRESS:PORT")->required();
    app.add_option("--server", options.server, "the device server to pass them on to")
        ->type_name("HOST:PORT")->required();
    app.add_option("--out", options.out, "the capture to write, JSON Lines")->type_name("CAPTURE.jsonl")->required();
    app.add_option("--duration", options.durationText, "stop after SECONDS (default: on Ctrl-C or SIGTERM)")
        ->type_name("SECONDS");
    app.add_flag("--help,-h", options.help, "show this text");
}

// The server's address, looked up once before anything is accepted.
bool Resolve(const std::string& server, asio::ip::tcp::endpoint& endpoint, std::string& error)
{
    std::string host;
    unsigned port = 0;
    if (!options::ParseHostPort(server, false, 1, host, port)) {
        error = "bad value '" + server + "' for --server (must be HOST:PORT, [IPv6]:PORT, a port from 1 to 65535)";
        return false;
    }
    asio::io_context context;
    asio::ip::tcp::resolver resolver(context);
    asio::error_code failed;
    const auto results = resolver.resolve(host, std::to_string(port), failed);
    const auto chosen = failed ? std::nullopt : io::HostResolver::Choose(results, std::nullopt);
    if (!chosen) {
        error = "cannot find the server " + host + ": " + (failed ? failed : asio::error::host_not_found).message();
        return false;
    }
    endpoint = *chosen;
    return true;
}

}  // namespace

bool ParseRecordOptions(int argc, const char* const* argv, RecordOptions& options, std::string& error)
{
    CLI::App app(kAbout, "mimicbox-cli record");
    Describe(app, options);
    if (!options::ParseSubcommand(app, argc, argv, options.help, error))
        return false;
    if (!options.help && !options.durationText.empty() && !options::ParseSeconds(options.durationText, false, options.duration))
        return options::BadValue(error, options.durationText, "--duration", "a number of seconds above 0");
    return true;
}

std::string RecordUsage()
{
    RecordOptions options;
    CLI::App app(kAbout, "mimicbox-cli record");
    Describe(app, options);
    return options::Usage(app) + "\nThe capture's format and replaying it: record-replay.md in the documentation.\n";
}

int RunRecordCommand(const RecordOptions& options)
{
    std::string listenAddress;
    unsigned listenPort = 0;
    asio::ip::tcp::endpoint server;
    std::string error;
    if (!options::ParseHostPort(options.listen, true, 0, listenAddress, listenPort))
        error = "bad value '" + options.listen +
                "' for --listen (must be ADDRESS:PORT, an IPv4 address or [an IPv6 one] and a port)";
    else
        Resolve(options.server, server, error);
    // Two descriptors a connection; a thousand connections and some to spare.
    std::string ignored;
    io::RaiseDescriptorLimit(2100, ignored);
    capture::CaptureWriter writer;
    asio::io_context context;
    // Chunks are received and passed on through io_uring where it can be used: those of one wake-up
    // in one submission.
    std::shared_ptr<io::UringSender> sender;
    std::string line;
    if (error.empty())
        io::ChooseSender(context, "auto", sender, line, error, true);
    io::RecordProxy proxy(context, writer, server, sender);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    if (!error.empty() ||
        !writer.Open(options.out, {"record", options.server, std::chrono::duration_cast<std::chrono::milliseconds>(now).count()},
                     error) ||
        !proxy.Listen(listenAddress, listenPort, error)) {
        std::fprintf(stderr, "mimicbox-cli record: %s\n", error.c_str());
        return 2;
    }
    std::printf("recording: devices connect to %s, passed on to %s, captured in %s\n",
                options::JoinHostPort(listenAddress, proxy.Port()).c_str(), options.server.c_str(), options.out.c_str());
    std::fflush(stdout);

    asio::steady_timer end(context);
    // The closes get a moment to go out; the sender's wait for completions would keep the loop
    // running for ever, so the loop is stopped rather than left to run out of work.
    const auto stop = [&] {
        proxy.Stop();
        end.expires_after(std::chrono::milliseconds(200));
        end.async_wait([&](const asio::error_code&) { context.stop(); });
    };
    io::StopSignals signals(context, [&] {
        end.cancel();
        stop();
    });
    if (options.duration > 0) {
        end.expires_after(std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(options.duration)));
        end.async_wait([&](const asio::error_code& failed) {
            if (!failed)
                stop();
        });
    }
    context.run();
    if (!writer.Close(error)) {
        std::fprintf(stderr, "mimicbox-cli record: %s\n", error.c_str());
        return 1;
    }
    std::printf("recorded %llu connections into %s\n", static_cast<unsigned long long>(proxy.Connections()),
                options.out.c_str());
    return 0;
}

}  // namespace mimicbox::cli
