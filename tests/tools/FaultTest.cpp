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

TEST(FaultSeamTest, TriggersFireAtTheirTimeEveryNthOrByChance)
{
    mimicbox::testing::ManualScheduler scheduler;
    Fault timed = Make(FaultKind::kDuplicate);
    timed.trigger.at = 2.0;
    Fault third = Make(FaultKind::kDoubleNul);
    third.trigger.every = 3;
    Fault rare = Make(FaultKind::kMissingNul);
    rare.trigger.probability = 0.1;
    FaultSeam seam(scheduler, {&timed, &third, &rare}, 9);
    Recorder connection;
    seam.Attach(&connection);
    std::vector<std::string> fired;
    int chance = 0;
    for (uint64_t n = 1; n <= 1000; ++n) {
        const FaultSeam::Sent sent = seam.Send(kThermo, kRecord, n, 500ms * static_cast<int>(n));
        fired.push_back(sent.fault ? FaultKindName(*sent.fault) : "");
        chance += fired.back() == "missing-nul";
    }
    EXPECT_EQ(fired[0], "");
    EXPECT_EQ(fired[2], "double-nul");
    EXPECT_EQ(fired[3], "duplicate");  // the first report at or after 2 s, once
    EXPECT_EQ(std::count(fired.begin(), fired.end(), "duplicate"), 1);
    EXPECT_EQ(std::count(fired.begin(), fired.end(), "double-nul"), 333);
    // About a tenth of the reports that no other fault took.
    EXPECT_GT(chance, 40);
    EXPECT_LT(chance, 100);
}

TEST(FaultSeamTest, ASplitHoldsItsSecondHalfAndWhatFollowsInOrder)
{
    mimicbox::testing::ManualScheduler scheduler;
    Fault split = Make(FaultKind::kSplit);
    split.delay = 0.2;
    FaultSeam seam(scheduler, {}, 9);
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
    scheduler.Advance(200ms);
    EXPECT_EQ(connection.written, kRecord + '\0' + kRecord + '\0');
    std::vector<std::string> records;
    EXPECT_EQ(ForEachRecord(connection.written.data(), static_cast<int>(connection.written.size()),
                            [&](const RecordHeader&, std::string_view) { records.emplace_back(); }),
              2);
}

TEST(FaultSeamTest, StopReadingStopsTheConnectionAndANewOneDropsHeldBytes)
{
    mimicbox::testing::ManualScheduler scheduler;
    FaultSeam seam(scheduler, {}, 9);
    Recorder first;
    seam.Attach(&first);
    seam.InjectNext(Make(FaultKind::kStopReading));
    seam.Send(kThermo, kRecord, 1, 0s);
    EXPECT_FALSE(first.reading);
    EXPECT_EQ(first.written, kRecord + '\0');

    Fault split = Make(FaultKind::kSplit);
    seam.InjectNext(split);
    seam.Send(kThermo, kRecord, 2, 0s);
    Recorder second;
    seam.Attach(&second);
    scheduler.Advance(1s);
    seam.Send(kThermo, kRecord, 3, 1s);
    EXPECT_EQ(second.written, kRecord + '\0');
}
