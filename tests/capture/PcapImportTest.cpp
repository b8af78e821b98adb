#include "tools/capture/PcapImport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
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
    void Segment(bool fromDevice, uint32_t seq, uint32_t ack, uint16_t flags, const std::string& payload = {})
    {
        Tins::TCP tcp(fromDevice ? 54741 : 40000, fromDevice ? 40000 : 54741);
        tcp.seq(seq);
        tcp.ack_seq(ack);
        tcp.flags(flags);
        Tins::EthernetII frame = Tins::EthernetII() / Tins::IP(fromDevice ? "10.0.0.1" : "10.0.0.2",
                                                                fromDevice ? "10.0.0.2" : "10.0.0.1") / tcp;
        if (!payload.empty())
            frame /= Tins::RawPDU(payload);
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
    EXPECT_NE(error.find("cut short"), std::string::npos) << error;
    std::filesystem::remove(foreign);
}
