// Raw frame transport under the link session: libpcap on a real adapter, or an
// in-process link to the simulated board.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vq {

class ITransport {
  public:
    virtual ~ITransport() = default;
    // Hands one frame to the link. False when refused; `error` then holds the
    // library's error text.
    virtual bool Send(const std::uint8_t* frame, std::size_t length, std::string& error) = 0;
    // Reads the next frame: 1 with `frame`/`length` set (valid until the next
    // call), 0 when nothing arrived within about 1 ms, -1 on a read error.
    virtual int Next(const std::uint8_t*& frame, std::size_t& length) = 0;
    // Short name for logs ("pcap:veth0", "simulated").
    virtual std::string Name() const = 0;

    // The board's 802.11 frame delivery of the sniffer. The test agent behind
    // an Ethernet link has no command for it: switching sends nothing and a
    // read delivers no bytes. A simulated board delivers whole records.
    virtual void SnifferControl(std::uint32_t code) {}
    virtual std::size_t SnifferRead(std::uint8_t* buffer, std::size_t size) { return 0; }
};

} // namespace vq
