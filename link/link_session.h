// The process-wide link state and the request/response transport.
#pragma once

#include "link/command_frame.h"
#include "link/pcap_transport.h"
#include "link/transport.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vq {

constexpr int kSendOk = 0;
constexpr int kSendRefused = 3;
constexpr int kMaxEmptyReads = 3000;
// The same time-out by the clock: 3000 reads of 1 ms. It ends the wait also
// while frames keep arriving that are not the answer.
constexpr std::uint64_t kResponseDeadlineUs = 3000 * 1000;

class LinkSession {
  public:
    // --- Transport fields ---
    std::uint8_t sourceAddress[6] = {0, 0, 0, 0, 0, 0};
    const std::uint8_t destinationAddress[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::uint16_t requestType = kRequestTypeNormal;
    std::uint16_t responseType = kResponseTypeNormal;
    bool noAdapter = false;

    // The two frame buffers shared by every command.
    CommandFrame request{};
    CommandFrame response{};
    std::size_t responseLength = 0; // bytes copied into `response` by the last receive

    // Held around each SendCommand/ReceiveResponse pair so that exchanges from
    // worker threads and the UI thread never interleave, and by an open device
    // sequence (device/sequence.h) across all of its exchanges.
    std::recursive_mutex exchangeLock;

    // Builds and sends one request: 0 when the link accepted it, 3 when refused
    // (or when there is no open link).
    int SendCommand(std::uint16_t commandId, std::uint16_t length, const std::uint8_t* payload);
    // Waits for the response to the request just sent: 0 with the matching frame
    // in `response` (header in host order), -1 after 3000 empty reads, 3 s after
    // the wait began, or on a capture read error.
    int ReceiveResponse();
    // Zeroes `response` (what a previous frame left there) before a new request.
    void ClearResponse();
    // Microseconds of a steady clock, for the response deadline; tests set
    // their own. Empty: std::chrono::steady_clock.
    std::function<std::uint64_t()> clockUs;

    std::uint16_t Sequence() const { return sequence_; }
    void SetSequence(std::uint16_t s) { sequence_ = s; } // tests only
    void SetInic(bool on);

    // --- Link set-up ---
    bool IsOpen() const { return transport_ != nullptr; }
    ITransport* Transport() const { return transport_.get(); }
    // Takes a ready transport (the in-process simulated board, or a pcap handle
    // after its set-up).
    void Attach(std::unique_ptr<ITransport> transport);
    // Opens the libpcap device, learns the source address from the OS and
    // installs the "ether proto 0x2880" filter. Writes the diagnostics of the
    // adapter set-up to the standard streams; `diagnostic` gets the last one.
    // False when the device cannot be opened (the dialog stays up). A filter
    // failure closes the capture but still returns true.
    bool OpenPcapAdapter(const std::string& device, std::string& diagnostic);
    // What the adapter set-up asks of the OS and installs; tests replace them
    // to reach the no-record and bad-filter paths on their own veth pair.
    std::function<bool(const std::string&, std::uint8_t[6])> hardwareAddressLookup = LookupHardwareAddress;
    std::string captureFilter = "ether proto 0x2880";
    void CloseLink();

  private:
    std::uint64_t NowUs() const;
    // How far into each buffer the last frame reached: every byte past it is
    // zero, so a new frame clears only what an older, longer one left behind
    // instead of the whole 4 KB per exchange.
    std::size_t requestUsed_ = kFrameBufferSize;
    std::size_t responseUsed_ = kFrameBufferSize;

    std::unique_ptr<ITransport> transport_;
    std::uint16_t sequence_ = 0;
};

LinkSession& Link();
// Fresh session state (tests): closes the link, sequence 0, normal frame types.
void ResetLink();

// Adapter list of the Select Adapter dialog.
struct AdapterList {
    std::vector<PcapDevice> devices;
    std::vector<std::string> entries; // "%d. %s"
};
// pcap_findalldevs into "%d. %s" entries. False on enumeration failure, with
// "Error in pcap_findalldevs: %s\n" in `diagnostic`.
bool EnumerateAdapters(AdapterList& list, std::string& diagnostic);
std::string FormatAdapterEntry(int position, const std::string& description);

} // namespace vq
