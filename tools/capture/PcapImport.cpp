#include "tools/capture/PcapImport.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <pcap/pcap.h>
#include <tins/ethernetII.h>
#include <tins/exceptions.h>
#include <tins/ip.h>
#include <tins/loopback.h>
#include <tins/sll.h>
#include <tins/tcp.h>
#include <tins/tcp_ip/stream_follower.h>

namespace mimicbox::capture {

namespace {

std::unique_ptr<Tins::PDU> Decode(int linkType, const u_char* data, uint32_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    switch (linkType) {
    case DLT_EN10MB: return std::make_unique<Tins::EthernetII>(bytes, size);
    case DLT_LINUX_SLL: return std::make_unique<Tins::SLL>(bytes, size);
    case DLT_RAW: return std::make_unique<Tins::IP>(bytes, size);
    case DLT_NULL: return std::make_unique<Tins::Loopback>(bytes, size);
    default: return nullptr;
    }
}

bool Supported(int linkType)
{
    return linkType == DLT_EN10MB || linkType == DLT_LINUX_SLL || linkType == DLT_RAW || linkType == DLT_NULL;
}

std::string Endpoint(const Tins::IPv4Address& address, uint16_t port)
{
    return address.to_string() + ":" + std::to_string(port);
}

// Which TCP ports a capture holds: those that took a connect (a SYN without ACK) are the servers';
// without any, every port by its packets.
class PortTally {
public:
    void Count(const Tins::TCP& tcp)
    {
        if ((tcp.flags() & (Tins::TCP::SYN | Tins::TCP::ACK)) == Tins::TCP::SYN)
            ++connects_[tcp.dport()];
        ++packets_[tcp.dport()];
        ++packets_[tcp.sport()];
    }
    std::string Text() const
    {
        const bool servers = !connects_.empty();
        std::vector<std::pair<std::size_t, uint16_t>> ranked;
        for (const auto& [port, count] : servers ? connects_ : packets_)
            ranked.push_back({count, port});
        if (ranked.empty())
            return "it holds no TCP packet";
        std::sort(ranked.rbegin(), ranked.rend());
        std::string text = servers ? "it holds connects to TCP port" : "it holds TCP packets of port";
        text += ranked.size() > 1 ? "s " : " ";
        for (std::size_t i = 0; i < ranked.size() && i < 10; ++i)
            text += (i ? ", " : "") + std::to_string(ranked[i].second) + " (" + std::to_string(ranked[i].first) + ")";
        return text + (ranked.size() > 10 ? " and " + std::to_string(ranked.size() - 10) + " more" : "");
    }

private:
    std::map<uint16_t, std::size_t> connects_;
    std::map<uint16_t, std::size_t> packets_;
};

// Follows the streams and turns what libtins reports into capture events.
class Importer {
public:
    Importer(unsigned port, ImportResult& result) : port_(port), result_(result)
    {
        follower_.follow_partial_streams(true);
        follower_.new_stream_callback([this](Tins::TCPIP::Stream& stream) { OnNew(stream); });
    }

    void Packet(Tins::PDU& pdu, double t, int64_t wall)
    {
        t_ = t;
        wall_ = wall;
        const auto* ip = pdu.find_pdu<Tins::IP>();
        const auto* tcp = pdu.find_pdu<Tins::TCP>();
        if (ip && tcp)
            ports_.Count(*tcp);
        if (!ip || !tcp || (tcp->dport() != port_ && tcp->sport() != port_))
            return;
        ++result_.packets;
        closed_ = false;
        follower_.process_packet(pdu);
        // libtins tells of a stream's end only once both sides closed: a FIN is a half-close of its
        // own, told once however often it is sent again, and a RST a reset.
        const bool fromDevice = tcp->dport() == port_;
        const Side side = fromDevice ? Side::kDevice : Side::kServer;
        const std::string device = fromDevice ? Endpoint(ip->src_addr(), tcp->sport()) : Endpoint(ip->dst_addr(), tcp->dport());
        const auto open = conns_.find(device);
        if (open == conns_.end())
            return;
        Conn& conn = open->second;
        bool& finished = fromDevice ? conn.deviceFinished : conn.serverFinished;
        if ((tcp->flags() & Tins::TCP::FIN) && !finished) {
            finished = true;
            Tell(conn.number, device, CaptureKind::kHalfClose, side);
        }
        if (tcp->flags() & Tins::TCP::RST) {
            Tell(conn.number, device, CaptureKind::kReset, side);
            conns_.erase(open);
        } else if (closed_) {
            Tell(conn.number, device, CaptureKind::kClose, side);
            conns_.erase(open);
        }
    }

    // The ports the capture holds, for a message when `port` is not among them.
    std::string PortsHeld() const { return ports_.Text(); }

private:
    void OnNew(Tins::TCPIP::Stream& stream)
    {
        // A stream seen mid-way may have its ends the wrong way round: the server is at the port.
        const bool clientIsDevice = stream.server_port() == port_;
        const std::string device = clientIsDevice ? Endpoint(stream.client_addr_v4(), stream.client_port())
                                                  : Endpoint(stream.server_addr_v4(), stream.server_port());
        if (result_.header.server.empty())
            result_.header.server = clientIsDevice ? Endpoint(stream.server_addr_v4(), stream.server_port())
                                                   : Endpoint(stream.client_addr_v4(), stream.client_port());
        const uint64_t conn = next_++;
        conns_[device] = Conn{conn};
        Tell(conn, device, CaptureKind::kConnect, Side::kDevice);
        stream.auto_cleanup_payloads(true);
        const Side clientSide = clientIsDevice ? Side::kDevice : Side::kServer;
        const Side serverSide = clientIsDevice ? Side::kServer : Side::kDevice;
        stream.client_data_callback([this, conn, device, clientSide](Tins::TCPIP::Stream& s) {
            Data(conn, device, clientSide, s.client_payload());
        });
        stream.server_data_callback([this, conn, device, serverSide](Tins::TCPIP::Stream& s) {
            Data(conn, device, serverSide, s.server_payload());
        });
        // Told after the packet that closed it, behind its half-close.
        stream.stream_closed_callback([this](Tins::TCPIP::Stream&) { closed_ = true; });
    }

    void Data(uint64_t conn, const std::string& device, Side side, const std::vector<uint8_t>& payload)
    {
        if (payload.empty())
            return;
        CaptureEvent& event = Tell(conn, device, CaptureKind::kData, side);
        event.bytes.assign(payload.begin(), payload.end());
    }

    CaptureEvent& Tell(uint64_t conn, const std::string& device, CaptureKind kind, Side side)
    {
        CaptureEvent event;
        event.t = t_;
        event.wall = wall_;
        event.conn = conn;
        event.peer = device;
        event.kind = kind;
        event.from = side;
        result_.events.push_back(std::move(event));
        return result_.events.back();
    }

    unsigned port_;
    ImportResult& result_;
    Tins::TCPIP::StreamFollower follower_;
    struct Conn {
        uint64_t number = 0;
        bool deviceFinished = false;
        bool serverFinished = false;
    };
    std::map<std::string, Conn> conns_;
    PortTally ports_;
    bool closed_ = false;
    uint64_t next_ = 1;
    double t_ = 0;
    int64_t wall_ = 0;
};

// As far as replay's clock reaches.
constexpr double kLongestCapture = 1e9;

bool ReadPackets(pcap_t* pcap, int linkType, Importer& importer, ImportResult& result, std::string& error)
{
    double first = -1;
    double last = 0;
    std::size_t number = 0;
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    int status = 0;
    while ((status = pcap_next_ex(pcap, &header, &data)) == 1) {
        ++number;
        const double seconds = static_cast<double>(header->ts.tv_sec) + static_cast<double>(header->ts.tv_usec) / 1e6;
        if (first < 0) {
            first = seconds;
            result.header.startWall = static_cast<int64_t>(seconds * 1000);
        }
        // Merged captures hold packets stamped before the one ahead of them: they take its time,
        // so that the capture's time never runs backwards, as replay requires.
        double t = seconds - first;
        if (t < last) {
            t = last;
            ++result.earlier;
        }
        last = t;
        if (t > kLongestCapture) {
            error = "packet " + std::to_string(number) + " is stamped " + std::to_string(t) +
                    " s after the first: longer than a capture can be (1e9 s)";
            return false;
        }
        try {
            const std::unique_ptr<Tins::PDU> pdu = Decode(linkType, data, header->caplen);
            importer.Packet(*pdu, t, static_cast<int64_t>((first + t) * 1000));
        } catch (const Tins::exception_base&) {
            ++result.skipped;  // a packet cut by the snapshot length, or not IP
        }
    }
    if (status != PCAP_ERROR)
        return true;
    // libpcap says "truncated dump file" where the file ends inside a packet; anything else is a
    // packet header that makes no sense.
    const std::string why = pcap_geterr(pcap);
    error = (why.find("truncated") != std::string::npos ? "cut short after packet " : "corrupt after packet ") +
            std::to_string(number) + ": " + why;
    return false;
}

}  // namespace

bool ImportPcap(const std::string& path, unsigned port, ImportResult& result, std::string& error)
{
    result = {};
    result.header.source = "import";
    // A FIFO without a writer would hold the import forever.
    std::error_code failed;
    if (std::filesystem::exists(path, failed) && !std::filesystem::is_regular_file(path, failed)) {
        error = path + ": no regular file: give the packet capture as a file";
        return false;
    }
    char why[PCAP_ERRBUF_SIZE] = {};
    std::unique_ptr<pcap_t, void (*)(pcap_t*)> pcap(pcap_open_offline(path.c_str(), why), pcap_close);
    if (!pcap) {
        error = path + ": not a packet capture that libpcap reads: " + why;
        return false;
    }
    const int linkType = pcap_datalink(pcap.get());
    if (!Supported(linkType)) {
        error = path + ": link type " + std::to_string(linkType) + " is not Ethernet, Linux cooked, raw IP or loopback";
        return false;
    }
    Importer importer(port, result);
    if (!ReadPackets(pcap.get(), linkType, importer, result, error)) {
        error = path + ": " + error;
        return false;
    }
    if (result.packets == 0) {
        error = path + ": no TCP packet to or from port " + std::to_string(port) + "; " + importer.PortsHeld();
        return false;
    }
    return true;
}

}  // namespace mimicbox::capture
