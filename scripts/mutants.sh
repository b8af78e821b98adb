#!/usr/bin/env bash
# Makes one small fault at a time in the code around the simulation (the mutants below), builds the
# unit tests of a development tree, runs them, and says whether a test caught the fault; the source
# is put back after each. Usage: scripts/mutants.sh [BUILD_DIR] (default build-dev, configured with
# MIMICBOX_WITH_QT=OFF). Takes a few minutes: each mutant is a rebuild.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
build=${1:-build-dev}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DMIMICBOX_WITH_QT=OFF >/dev/null

# FILE|WHAT IT BECOMES|THE TEXT|ITS REPLACEMENT (each text must stand once in its file)
mutants=(
    'tools/sim/Verdict.cpp|toggles >= min becomes >|title, seen.toggles >= low &&|title, seen.toggles > low &&'
    'tools/sim/Histogram.h|a percentile rank on a bucket boundary|if (fromTop > abovePercentile)|if (fromTop >= abovePercentile)'
    'tools/sim/ValidationCheck.cpp|float bounds made exclusive|!(*value >= low && *value <= high)|!(*value > low && *value < high)'
    'tools/control/Controller.cpp|a Relay-Box takes a profile|if (plant_.At(index).GetDevice().Identity().nDeviceType != TYPE_THERMO) {|if (false) {'
    'tools/report/JUnit.cpp|the root counts every result as failed|std::to_string(failures) + "\" time=|std::to_string(results.size()) + "\" time='
    'tools/io/DeviceLink.cpp|a partial write queues the whole record again|bytes.remove_prefix(sent);|(void)sent;'
    'tools/io/DeviceLink.cpp|the rest of a short batched send dropped|sentOffset_ += static_cast<std::size_t>(result);|sentOffset_ = sending_.size();'
    'tools/io/UringSender.cpp|a cancel names a send rather than the receive|io_uring_prep_cancel64(sqe, TagOf(inbox), 0);|io_uring_prep_cancel64(sqe, TagOf(inbox) & ~uint64_t{1}, 0);'
    'tools/capture/CaptureReader.cpp|a fractional connection number taken|conn != std::floor(conn)|false'
    'tools/capture/PcapImport.cpp|a retransmitted FIN told as a second half-close|if ((tcp->flags() & Tins::TCP::FIN) && !finished) {|if (tcp->flags() & Tins::TCP::FIN) {'
    'tools/capture/PcapImport.cpp|an earlier stamp runs the capture backwards|        if (t < last) {|        if (false) {'
    'tools/capture/ExactReplay.cpp|the server reset played as a close|    } else if (event.kind == CaptureKind::kReset) {|    } else if (event.kind == CaptureKind::kReset && event.from == Side::kDevice) {'
    'tools/capture/CaptureLine.cpp|an address written as Latin-1 bytes|    AppendJsonText(out, event.peer);|    AppendJsonString(out, event.peer);'
    'tools/control/RequestGuard.cpp|a host name compared with its case|if (http::Lower(known) == name)|if (known == name)'
    'tools/control/RequestGuard.cpp|whatever follows the host name taken as its port|if (!PortOrNothing(std::string_view(host).substr(after)))|if (false)'
    'tools/control/http/HttpConnection.cpp|a keep-alive request without its time limit|    timing_ = false;|    timing_ = true;'
    'tools/control/http/HttpServer.cpp|idle clients lock new ones out|if (clients_.size() >= maxClients_ && !CloseLongestIdle()) {|if (clients_.size() >= maxClients_) {'
    'tools/control/http/RequestParser.cpp|a whole head allowed two bytes more than one in pieces|    if (end > limits_.head)|    if (end > limits_.head + 2)'
    'tools/report/PlantLogs.cpp|the same log merged twice|if (a.run == b.run) {|if (false) {'
    'tools/report/LoggedEvent.cpp|a time no run can have taken|seconds >= low && seconds <= kLongestLogTime;|seconds >= low;'
    'tools/report/History.cpp|an empty stretch a second short|empty.width = static_cast<uint32_t>(second - open_.second);|empty.width = static_cast<uint32_t>(second - open_.second - 1);'
    'tools/report/JUnit.cpp|every pass printed without --verbose|if (passes |if (true '
    'tools/sim/Device.cpp|a set temperature leaves a sine in place|    if (ProfileIsAbsolute(profile_.kind))|    if (false)'
    'tools/sim/ReceivedRecords.cpp|a good record after an unreadable one counted as unreadable|event.dropped = number > recordsRead && Reads(event.record);|event.dropped = false;'
    'tools/server/DeviceServer.cpp|the toggle record carries the wrong serial|FormatCommand(TYPE_RELAY, device.identity.nSerial,|FormatCommand(TYPE_RELAY, device.identity.nSerial + 1,'
    'tools/control/http/RequestParser.cpp|a body read one byte short|remaining_ -= take;|remaining_ -= take + (take > 1 ? 1 : 0);'
    'tools/control/http/HttpText.cpp|a percent escape decoded with its digits swapped|HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])|HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 1])'
    'tools/control/RequestGuard.cpp|any scheme taken for Bearer|http::Lower(header->substr(0, space)) != "bearer"|http::Lower(header->substr(0, space)).empty()'
    'tools/control/RequestGuard.cpp|a POST taken without JSON|method == "POST" |method == "GET" '
    'tools/report/History.cpp|a merged point keeps the smaller p99|merged.p99 = std::max(earlier.p99, later.p99);|merged.p99 = std::min(earlier.p99, later.p99);'
    'tools/control/LiveFaults.cpp|a fired live fault said not to have fired|{"fired", true},|{"fired", false},'
    'tools/sim/FaultSeam.cpp|a one-shot fault applied again|fires = !applied_[i] && sinceStart >= Seconds(*trigger.at);|fires = sinceStart >= Seconds(*trigger.at);'
    'tools/scenario/TomlTableReader.cpp|an unknown key taken|problems_.push_back({At(key.str()), "unknown key"});|(void)0;'
    'tools/report/SummaryText.cpp|a table that fired once said never to|if (tally.fired == 0)|if (tally.fired <= 1)'
    'tools/sim/ScenarioPlan.cpp|oversized records keep the small default|fault.kind == FaultKind::kOversized ? kOversizedBytes|fault.kind == FaultKind::kGarbage ? kOversizedBytes'
)

caught=0
total=0
for mutant in "${mutants[@]}"; do
    IFS='|' read -r file what from to <<<"$mutant"
    total=$((total + 1))
    cp "$file" "$file.orig"
    if ! python3 - "$file" "$from" "$to" <<'EOF'
import sys
path, old, new = sys.argv[1:]
text = open(path).read()
if text.count(old) != 1:
    sys.exit(f"the text stands {text.count(old)} times in {path}")
open(path, "w").write(text.replace(old, new))
EOF
    then
        echo "?? $what: not applied"
        mv "$file.orig" "$file"
        touch "$file"
        continue
    fi
    if ! cmake --build "$build" --parallel "$(nproc)" >/dev/null 2>&1; then
        verdict="caught (does not build)"
        caught=$((caught + 1))
    elif (cd "$build" && ctest -L unit -j "$(nproc)" --timeout 60 >/dev/null 2>&1); then
        verdict="SURVIVED"
    else
        verdict="caught"
        caught=$((caught + 1))
    fi
    # Put back, and newer than what the mutant built, so that the next build takes the original.
    mv "$file.orig" "$file"
    touch "$file"
    echo "$verdict: $what ($file)"
done
cmake --build "$build" --parallel "$(nproc)" >/dev/null 2>&1
echo "$caught of $total mutants caught"
