#include "tools/capture/PcapImport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <tins/packet.h>
#include <tins/ethernetII.h>
#include <tins/ip.h>
#include <tins/packet_writer.h>
#include <tins/rawpdu.h>
#include <tins/tcp.h>

using namespace mimicbox::capture;

namespace {

// Writes a packet capture of crafted segments between a device (10.0.0.2:40000) and its server
// (10.0.0.1:54741).
class PcapFile {
public:
    PcapFile() : path_(std::filesystem::temp_directory_path() / ("mimicbox-import-" + std::to_string(::getpid()) + ".pcap"))
    {
        writer_ = std::make_unique<Tins::PacketWriter>(path_.string(), Tins::DataLinkType<Tins::EthernetII>());
    }
    ~PcapFile() { std::filesystem::remove(path_); }

    // Each side acknowledges what the other sent, as a real stream does: a stream followed from its
    // middle learns where the other side stands from it.
    // Stamped `micros` after 1765000000 s when given, else now.
    void Segment(bool fromDevice, uint32_t seq, uint32_t ack, uint16_t flags, const std::string& payload = {},
                 std::optional<int64_t> micros = std::nullopt)
    {
        Tins::TCP tcp(fromDevice ? 54741 : 40000, fromDevice ? 40000 : 54741);
        tcp.seq(seq);
        tcp.ack_seq(ack);
        tcp.flags(flags);
        Tins::EthernetII frame = Tins::EthernetII() / Tins::IP(fromDevice ? "10.0.0.1" : "10.0.0.2",
                                                                fromDevice ? "10.0.0.2" : "10.0.0.1") / tcp;
        if (!payload.empty())
            frame /= Tins::RawPDU(payload);
        if (micros) {
            Tins::Packet stamped(frame, Tins::Timestamp(std::chrono::microseconds(1765000000000000 + *micros)));
            writer_->write(stamped);
        } else
            writer_->write(frame);
    }
    std::string Close()
    {
        writer_.reset();
        return path_.string();
    }

private:
    std::filesystem::path path_;
    std::unique_ptr<Tins::PacketWriter> writer_;
};

std::string Stream(const ImportResult& result, Side side)
{
    std::string bytes;
    for (const CaptureEvent& event : result.events)
        if (event.kind == CaptureKind::kData && event.from == side)
            bytes += event.bytes;
    return bytes;
}

}  // namespace

TEST(PcapImportTest, AStreamTakenMidWayIsReassembledOutOfOrderAndRetransmittedSegmentsIncluded)
{
    PcapFile file;
    // No handshake: the capture starts mid-stream.
    file.Segment(true, 1000, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "AAAA");
    file.Segment(true, 1008, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "CCCC");  // before the one it follows
    file.Segment(true, 1004, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "BBBB");
    file.Segment(true, 1004, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "BBBB");  // again
    file.Segment(false, 5000, 1012, Tins::TCP::ACK | Tins::TCP::PSH, "toggle");
    file.Segment(true, 1012, 5006, Tins::TCP::ACK | Tins::TCP::FIN);
    file.Segment(false, 5006, 1013, Tins::TCP::ACK | Tins::TCP::FIN);
    ImportResult result;
    std::string error;
    ASSERT_TRUE(ImportPcap(file.Close(), 54741, result, error)) << error;
    EXPECT_EQ(Stream(result, Side::kDevice), "AAAABBBBCCCC");
    EXPECT_EQ(Stream(result, Side::kServer), "toggle");
    EXPECT_EQ(result.events.front().kind, CaptureKind::kConnect);
    EXPECT_EQ(result.events.front().peer, "10.0.0.2:40000");
    EXPECT_EQ(result.header.server, "10.0.0.1:54741");
    std::vector<CaptureKind> ends;
    for (const CaptureEvent& event : result.events)
        if (event.kind != CaptureKind::kData && event.kind != CaptureKind::kConnect)
            ends.push_back(event.kind);
    EXPECT_EQ(ends, (std::vector<CaptureKind>{CaptureKind::kHalfClose, CaptureKind::kHalfClose, CaptureKind::kClose}));
}

TEST(PcapImportTest, ForeignAndTruncatedFilesAreRefused)
{
    const std::filesystem::path foreign = std::filesystem::temp_directory_path() / "mimicbox-foreign.pcap";
    std::ofstream(foreign) << "this is no packet capture at all, just some text";
    ImportResult result;
    std::string error;
    EXPECT_FALSE(ImportPcap(foreign.string(), 54741, result, error));
    EXPECT_NE(error.find("not a packet capture"), std::string::npos) << error;

    PcapFile file;
    file.Segment(true, 1000, 5000, Tins::TCP::ACK | Tins::TCP::PSH, std::string(200, 'x'));
    const std::string path = file.Close();
    std::filesystem::resize_file(path, std::filesystem::file_size(path) - 50);
    EXPECT_FALSE(ImportPcap(path, 54741, result, error));
    EXPECT_NE(error.find("cut short after packet 0"), std::string::npos) << error;
    std::filesystem::remove(foreign);
}

TEST(PcapImportTest, ACorruptPacketHeaderIsNotCalledCutShort)
{
    PcapFile file;
    file.Segment(true, 1000, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "AAAA");
    file.Segment(true, 1004, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "BBBB");
    const std::string path = file.Close();
    // The second packet's captured length (after the file header, a record header and the first
    // packet) made absurd.
    const auto first = std::filesystem::file_size(path) / 2 + 12;
    std::fstream bytes(path, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekp(static_cast<std::streamoff>(first) + 8);
    bytes.write("\xff\xff\xff\x7f", 4);
    bytes.close();
    ImportResult result;
    std::string error;
    EXPECT_FALSE(ImportPcap(path, 54741, result, error));
    EXPECT_NE(error.find("corrupt after packet 1"), std::string::npos) << error;
}

TEST(PcapImportTest, APortThatIsNotInTheCaptureIsRefusedNamingThoseThatAre)
{
    PcapFile file;
    file.Segment(true, 1000, 0, Tins::TCP::SYN);
    file.Segment(true, 1001, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "AAAA");
    ImportResult result;
    std::string error;
    EXPECT_FALSE(ImportPcap(file.Close(), 6000, result, error));
    EXPECT_NE(error.find("no TCP packet to or from port 6000; it holds connects to TCP port 54741 (1)"),
              std::string::npos) << error;

    const std::string fifo = std::filesystem::temp_directory_path() / ("mimicbox-fifo-" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ImportPcap(fifo, 54741, result, error));  // at once, with no writer
    EXPECT_NE(error.find("no regular file"), std::string::npos) << error;
    std::filesystem::remove(fifo);
}

TEST(PcapImportTest, TimesNeverRunBackwardsAndARetransmittedFinIsOneHalfClose)
{
    PcapFile file;
    file.Segment(true, 1000, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "AAAA", 1'000'000);
    file.Segment(true, 1004, 5000, Tins::TCP::ACK | Tins::TCP::PSH, "BBBB", 500'000);  // merged: stamped earlier
    file.Segment(true, 1008, 5000, Tins::TCP::ACK | Tins::TCP::FIN, "", 2'000'000);
    file.Segment(true, 1008, 5000, Tins::TCP::ACK | Tins::TCP::FIN, "", 2'200'000);  // sent again
    ImportResult result;
    std::string error;
    ASSERT_TRUE(ImportPcap(file.Close(), 54741, result, error)) << error;
    EXPECT_EQ(result.earlier, 1u);
    double last = 0;
    int halfCloses = 0;
    for (const CaptureEvent& event : result.events) {
        EXPECT_GE(event.t, last);
        last = event.t;
        halfCloses += event.kind == CaptureKind::kHalfClose;
    }
    EXPECT_EQ(halfCloses, 1);
    EXPECT_EQ(Stream(result, Side::kDevice), "AAAABBBB");
}
