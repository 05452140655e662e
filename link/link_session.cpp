#include "link/link_session.h"

#include "base/format.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace vq {

namespace {
LinkSession* g_link = new LinkSession(); // never destroyed: workers may outlive static teardown
}

LinkSession& Link() { return *g_link; }

void ResetLink() {
    LinkSession& s = Link();
    std::lock_guard<std::recursive_mutex> lock(s.exchangeLock);
    s.CloseLink();
    std::memset(s.sourceAddress, 0, sizeof s.sourceAddress);
    s.SetInic(false);
    s.noAdapter = false;
    s.SetSequence(0);
    std::memset(s.request.bytes, 0, kFrameBufferSize);
    std::memset(s.response.bytes, 0, kFrameBufferSize);
    s.responseLength = 0;
    s.hardwareAddressLookup = LookupHardwareAddress;
    s.captureFilter = "ether proto 0x2880";
    s.clockUs = nullptr;
}

void LinkSession::SetInic(bool on) {
    requestType = on ? kRequestTypeInic : kRequestTypeNormal;
    responseType = on ? kResponseTypeInic : kResponseTypeNormal;
}

int LinkSession::SendCommand(std::uint16_t commandId, std::uint16_t length, const std::uint8_t* payload) {
    std::uint8_t* b = request.bytes;
    if (length > kMaxPayload) length = kMaxPayload;
    std::memcpy(b + kOffDestination, destinationAddress, 6);
    std::memcpy(b + kOffSource, sourceAddress, 6);
    PutBe16(b + kOffEtherType, kEtherType);
    PutBe32(b + kOffMagic, kMagic);
    PutBe16(b + kOffType, requestType);
    PutBe16(b + kOffCommandId, commandId);
    PutBe16(b + kOffLength, length);
    PutBe16(b + kOffSequence, sequence_);
    const std::size_t end = kOffPayload + length;
    if (payload)
        std::memcpy(b + kOffPayload, payload, length);
    else
        std::memset(b + kOffPayload, 0, length);
    std::size_t wire = end < kMinFrameLength ? kMinFrameLength : end;
    // Zero from the payload's end: the padding up to the minimum frame and
    // whatever an earlier, longer request left.
    const std::size_t stale = requestUsed_ > wire ? requestUsed_ : wire;
    std::memset(b + end, 0, stale - end);
    requestUsed_ = wire;
    sequence_ = std::uint16_t(sequence_ + 1); // 0xFFFF wraps to 0

    std::string error;
    if (!transport_) error = "no capture adapter is open";
    if (!transport_ || !transport_->Send(b, wire, error)) {
        std::fprintf(stderr, "\nError sending the packet: \n%s", error.c_str());
        std::fflush(stderr);
        return kSendRefused;
    }
    return kSendOk;
}

std::uint64_t LinkSession::NowUs() const {
    if (clockUs) return clockUs();
    using namespace std::chrono;
    return std::uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

int LinkSession::ReceiveResponse() {
    if (!transport_) return -1; // nothing was sent and nothing can arrive
    const std::uint16_t expected = std::uint16_t(sequence_ - 1);
    // Empty reads alone would never end the wait while other 0x2880 traffic
    // (a second PC on the wire) keeps arriving: the clock ends it as well.
    const std::uint64_t deadline = NowUs() + kResponseDeadlineUs;
    int empty = 0;
    for (;;) {
        const std::uint8_t* frame = nullptr;
        std::size_t length = 0;
        int r = transport_->Next(frame, length);
        if (r < 0) return -1; // a capture read error is a failure, never a received response
        if (r == 0) {
            if (++empty >= kMaxEmptyReads || NowUs() >= deadline) return -1;
            continue;
        }
        // Without the whole header a frame is never a response: its missing
        // type and sequence would read as zero and match sequence 0.
        if (length < kHeaderSize) {
            if (NowUs() >= deadline) return -1;
            continue;
        }
        if (length > kFrameBufferSize) length = kFrameBufferSize;
        std::uint8_t* b = response.bytes;
        std::memcpy(b, frame, length);
        // Whatever the frame does not cover reads as zero, never as an older frame's bytes.
        if (responseUsed_ > length) std::memset(b + length, 0, responseUsed_ - length);
        responseUsed_ = length;
        responseLength = length;
        auto host16 = [b](std::size_t off) {
            std::uint16_t v = GetBe16(b + off);
            std::memcpy(b + off, &v, 2);
            return v;
        };
        std::uint32_t magic = GetBe32(b + kOffMagic);
        std::memcpy(b + kOffMagic, &magic, 4);
        host16(kOffEtherType);
        std::uint16_t type = host16(kOffType);
        host16(kOffCommandId);
        host16(kOffLength);
        std::uint16_t seq = host16(kOffSequence);
        if (type == responseType && seq == expected) return 0;
        if (NowUs() >= deadline) return -1;
    }
}

void LinkSession::ClearResponse() {
    std::memset(response.bytes, 0, responseUsed_);
    responseUsed_ = 0;
}

void LinkSession::Attach(std::unique_ptr<ITransport> transport) {
    std::lock_guard<std::recursive_mutex> lock(exchangeLock);
    transport_ = std::move(transport);
}

void LinkSession::CloseLink() {
    std::lock_guard<std::recursive_mutex> lock(exchangeLock);
    transport_.reset();
}

bool LinkSession::OpenPcapAdapter(const std::string& device, std::string& diagnostic) {
    std::string error;
    auto t = PcapTransport::Open(device, error);
    if (!t) {
        const std::string text =
            Format("\nUnable to open the adapter. %s is not supported by WinPcap\n", device.c_str());
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        diagnostic = text;
        if (!error.empty()) diagnostic += error;
        return false;
    }
    std::uint8_t mac[6] = {0, 0, 0, 0, 0, 0};
    if (hardwareAddressLookup && hardwareAddressLookup(device, mac)) std::memcpy(sourceAddress, mac, 6);
    // The filter is installed whether or not the OS knew the interface, so the
    // capture never sees unrelated traffic.
    int f = t->InstallFilter(captureFilter.c_str());
    if (f == 1) {
        diagnostic = "\nError compiling filter: wrong syntax.\n";
        std::fputs(diagnostic.c_str(), stderr);
        std::fflush(stderr);
        t.reset();
    } else if (f == 2) {
        diagnostic = "\nError setting the filter\n";
        std::fputs(diagnostic.c_str(), stderr);
        std::fflush(stderr);
        t.reset();
    } else {
        diagnostic.clear();
    }
    Attach(std::move(t));
    return true;
}

std::string FormatAdapterEntry(int position, const std::string& description) {
    return Format("%d. %s", position, description.c_str());
}

bool EnumerateAdapters(AdapterList& list, std::string& diagnostic) {
    list.devices.clear();
    list.entries.clear();
    std::string error;
    if (!FindAllPcapDevices(list.devices, error)) {
        diagnostic = "Error in pcap_findalldevs: " + error + "\n";
        return false;
    }
    int count = 0;
    // Linux devices often carry no description: the interface name identifies them then.
    for (const auto& d : list.devices)
        list.entries.push_back(FormatAdapterEntry(++count, d.description.empty() ? d.name : d.description));
    return true;
}

} // namespace vq
