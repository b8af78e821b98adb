// Faults: what each does to one report, and the seam that fires them on their triggers and keeps
// the bytes in order on a fake connection.
#include "tools/sim/FaultSeam.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/IncomingRecords.h"
#include "link/Record.h"
#include "tools/report/RecordDecoder.h"
#include "tools/testing/ManualScheduler.h"

using namespace mimicbox;
using namespace mimicbox::sim;
using namespace std::chrono_literals;

namespace {

const ReportDraft kThermo{{TYPE_THERMO, 3}, 1765000000, 0, 21.5f};
const std::string kRecord = "TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;";

Fault Make(FaultKind kind)
{
    Fault fault;
    fault.kind = kind;
    return fault;
}

std::string Bytes(const FaultedReport& report) { return report.now + report.later; }

// A connection that keeps what is written, and whether it still reads.
class Recorder : public Connection {
public:
    void Open() override {}
    void Write(std::string_view bytes) override { written += bytes; }
    void StopReading() override { reading = false; }
    void Close() override {}
    void Reset() override {}

    std::string written;
    bool reading = true;
};

}  // namespace

TEST(FaultTest, EachFaultBreaksTheRecordItsOwnWay)
{
    Random random(5);
    const std::string whole = kRecord + '\0';
    struct Row {
        FaultKind kind;
        std::string expected;
    };
    const Row rows[] = {
        {FaultKind::kMissingNul, kRecord},
        {FaultKind::kDoubleNul, whole + '\0'},
        {FaultKind::kDuplicate, whole + whole},
        {FaultKind::kBadHeader, std::string("TolvarkControl: 16, x3, 4, 0, 0, 1, 10;1765000000, 21.500000;") + '\0'},
        {FaultKind::kWrongType, std::string("TolvarkControl: 12, 3, 4, 0, 0, 1, 10;1765000000, 21.500000;") + '\0'},
        {FaultKind::kStaleClock, std::string("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1764996400, 21.500000;") + '\0'},
        {FaultKind::kFutureClock, std::string("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765003600, 21.500000;") + '\0'},
        // 2^31 + 3600 printed as the signed low 32 bits.
        {FaultKind::kClock2038, std::string("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;-2147480048, 21.500000;") + '\0'},
        {FaultKind::kOutOfRange, std::string("TolvarkControl: 16, 3, 4, 0, 0, 1, 10;1765000000, 200.000000;") + '\0'},
        {FaultKind::kStopReading, whole},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Bytes(ApplyFault(Make(row.kind), kThermo, kRecord, random)), row.expected) << FaultKindName(row.kind);
}

TEST(FaultTest, SizedFaultsAndSplitsKeepTheRecordRecoverable)
{
    Random random(5);
    Fault garbage = Make(FaultKind::kGarbage);
    garbage.bytes = 40;
    const std::string noisy = Bytes(ApplyFault(garbage, kThermo, kRecord, random));
    ASSERT_EQ(noisy.size(), 40 + kRecord.size() + 1);
    EXPECT_EQ(noisy.find('\0'), noisy.size() - 1);
    EXPECT_EQ(noisy.substr(40), kRecord + '\0');

    Fault oversized = Make(FaultKind::kOversized);
    oversized.bytes = 5000;
    const std::string big = Bytes(ApplyFault(oversized, kThermo, kRecord, random));
    EXPECT_EQ(big.size(), 5001u);
    EXPECT_EQ(big.rfind(kRecord, 0), 0u);

    for (int i = 0; i < 50; ++i) {
        const FaultedReport split = ApplyFault(Make(FaultKind::kSplit), kThermo, kRecord, random);
        ASSERT_FALSE(split.now.empty());
        ASSERT_FALSE(split.later.empty());
        ASSERT_EQ(split.now + split.later, kRecord + '\0');
    }
}

TEST(FaultTest, BrokenRecordsAreWhatAServerCannotRead)
{
    Random random(5);
    for (FaultKind kind : {FaultKind::kBadHeader, FaultKind::kWrongType}) {
        const std::string bytes = Bytes(ApplyFault(Make(kind), kThermo, kRecord, random));
        EXPECT_FALSE(report::CheckRecord(std::string_view(bytes.data(), bytes.size() - 1)).readable) << FaultKindName(kind);
    }
}

TEST(FaultTest, NamesReadBackAndOnlyAThermoBoxHasARange)
{
    for (int i = 0; i <= static_cast<int>(FaultKind::kStopReading); ++i) {
        FaultKind kind = FaultKind::kSplit;
        ASSERT_TRUE(ParseFaultKind(FaultKindName(static_cast<FaultKind>(i)), kind));
        EXPECT_EQ(static_cast<int>(kind), i);
    }
    FaultKind kind = FaultKind::kSplit;
    EXPECT_FALSE(ParseFaultKind("Split", kind));
    EXPECT_FALSE(FaultAppliesTo(FaultKind::kOutOfRange, TYPE_RELAY));
    EXPECT_TRUE(FaultAppliesTo(FaultKind::kOutOfRange, TYPE_THERMO));
    EXPECT_TRUE(FaultAppliesTo(FaultKind::kClock2038, TYPE_RELAY));
}

namespace {

// Which fault takes each of eight reports, 500 ms apart, when two tables (A listed first, B second)
// and perhaps live faults meet: "A", "B", "L" for a live one, "-" for none.
std::string Takers(const FaultTrigger& a, const FaultTrigger& b, std::vector<uint64_t> liveBefore = {})
{
    mimicbox::testing::ManualScheduler scheduler;
    Fault first = Make(FaultKind::kDuplicate);
    first.trigger = a;
    Fault second = Make(FaultKind::kDoubleNul);
    second.trigger = b;
    FaultSeam seam(scheduler, {{&first, 1}, {&second, 2}}, 9);
    Recorder connection;
    seam.Attach(&connection);
    std::string takers;
    for (uint64_t n = 1; n <= 8; ++n) {
        for (uint64_t before : liveBefore) {
            if (before == n)
                seam.InjectNext(Make(FaultKind::kGarbage), n);
        }
        const FaultSeam::Sent sent = seam.Send(kThermo, kRecord, n, 500ms * static_cast<int>(n));
        takers += !sent.fault ? '-' : sent.origin.live ? 'L' : sent.origin.table == 1 ? 'A' : 'B';
    }
    return takers;
}

FaultTrigger At(double seconds)
{
    FaultTrigger trigger;
    trigger.at = seconds;
    return trigger;
}
FaultTrigger Every(uint64_t n)
{
    FaultTrigger trigger;
    trigger.every = n;
    return trigger;
}
FaultTrigger Always()
{
    FaultTrigger trigger;
    trigger.probability = 1;
    return trigger;
}

}  // namespace

TEST(FaultSeamTest, TheFirstTableTakesAReportAndAOneShotThatLosesWaitsForTheNextFreeOne)
{
    struct Row {
        const char* name;
        FaultTrigger a;
        FaultTrigger b;
        std::vector<uint64_t> live;
        const char* takers;
    };
    const Row rows[] = {
        {"at, at", At(1.2), At(1.2), {}, "--AB----"},
        {"every, at", Every(3), At(1.2), {}, "--AB-A--"},
        {"at, every", At(1.2), Every(3), {}, "--A--B--"},
        {"every, every", Every(2), Every(3), {}, "-ABA-A-A"},
        {"chance, at", Always(), At(1.2), {}, "AAAAAAAA"},
        {"at, chance", At(1.2), Always(), {}, "BBABBBBB"},
        {"every, chance", Every(3), Always(), {}, "BBABBABB"},
        {"chance, every", Always(), Every(3), {}, "AAAAAAAA"},
        {"chance, chance", Always(), Always(), {}, "AAAAAAAA"},
        {"live, at", At(1.2), Every(100), {3}, "--LA----"},
        {"live, every", Every(3), Every(100), {3, 6}, "--L--L--"},
        {"live, chance", Always(), Every(100), {2}, "ALAAAAAA"},
        {"two live", Every(100), Every(100), {4, 4}, "---LL---"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Takers(row.a, row.b, row.live), row.takers) << row.name;
}

TEST(FaultSeamTest, AFaultsDrawsDoNotShiftWithTheFaultsThatTakeItsReports)
{
    FaultTrigger half;
    half.probability = 0.5;
    // B's draws are the same whether or not A takes some reports first.
    const std::string alone = Takers(Every(100), half);
    const std::string behind = Takers(Every(2), half);
    for (std::size_t i = 0; i < alone.size(); ++i) {
        if (behind[i] != 'A') {
            EXPECT_EQ(behind[i], alone[i]) << i;
        }
    }
    EXPECT_NE(alone.find('B'), std::string::npos);
    EXPECT_NE(alone.find('-'), std::string::npos);
}

TEST(FaultSeamTest, ASplitHoldsItsSecondHalfAndWhatFollowsInOrder)
{
    mimicbox::testing::ManualScheduler scheduler;
    Fault split = Make(FaultKind::kSplit);
    split.delay = 0.2;
    FaultSeam seam(scheduler, {}, 9);
    int released = 0;
    seam.OnReleased([&] { ++released; });
    Recorder connection;
    seam.Attach(&connection);
    seam.InjectNext(split);
    EXPECT_EQ(seam.Send(kThermo, kRecord, 1, 0s).fault, FaultKind::kSplit);
    const std::size_t first = connection.written.size();
    EXPECT_GT(first, 0u);
    EXPECT_LT(first, kRecord.size() + 1);
    // The next report comes before the second half is due: it waits behind it.
    EXPECT_FALSE(seam.Send(kThermo, kRecord, 2, 100ms).fault);
    EXPECT_EQ(connection.written.size(), first);
    EXPECT_TRUE(seam.Holding());
    scheduler.Advance(200ms);
    EXPECT_FALSE(seam.Holding());
    EXPECT_EQ(released, 1);
    EXPECT_EQ(connection.written, kRecord + '\0' + kRecord + '\0');
}

TEST(FaultSeamTest, AFlushSendsTheHeldHalfAtOnceAndANewConnectionDropsIt)
{
    mimicbox::testing::ManualScheduler scheduler;
    FaultSeam seam(scheduler, {}, 9);
    Recorder first;
    seam.Attach(&first);
    seam.InjectNext(Make(FaultKind::kSplit));
    seam.Send(kThermo, kRecord, 1, 0s);
    seam.Flush();
    EXPECT_EQ(first.written, kRecord + '\0');
    scheduler.Advance(1s);
    EXPECT_EQ(first.written, kRecord + '\0');

    seam.InjectNext(Make(FaultKind::kSplit));
    seam.Send(kThermo, kRecord, 2, 1s);
    Recorder second;
    seam.Attach(&second);
    scheduler.Advance(1s);
    seam.Send(kThermo, kRecord, 3, 2s);
    EXPECT_EQ(second.written, kRecord + '\0');
}

TEST(FaultSeamTest, StopReadingStopsTheConnection)
{
    mimicbox::testing::ManualScheduler scheduler;
    FaultSeam seam(scheduler, {}, 9);
    Recorder connection;
    seam.Attach(&connection);
    seam.InjectNext(Make(FaultKind::kStopReading));
    seam.Send(kThermo, kRecord, 1, 0s);
    EXPECT_FALSE(connection.reading);
    EXPECT_EQ(connection.written, kRecord + '\0');
}
