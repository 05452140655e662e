// A transport that records what is sent and plays back scripted frames, and
// the response frames the board's agent would send.
#pragma once

#include "link/command_frame.h"
#include "link/transport.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vq::test {

// Transport that records what is sent and plays back scripted frames;
// `onRead` runs before every read.
class ScriptTransport : public ITransport {
  public:
    std::vector<std::vector<std::uint8_t>> sent;
    std::deque<std::vector<std::uint8_t>> incoming;
    int empties = 0;
    bool refuse = false;
    std::function<void()> onRead;
    bool Send(const std::uint8_t* f, std::size_t n, std::string& err) override {
        if (refuse) {
            err = "refused";
            return false;
        }
        sent.emplace_back(f, f + n);
        return true;
    }
    int Next(const std::uint8_t*& f, std::size_t& n) override {
        if (onRead) onRead();
        if (incoming.empty()) {
            ++empties;
            return 0;
        }
        cur = std::move(incoming.front());
        incoming.pop_front();
        f = cur.data();
        n = cur.size();
        return 1;
    }
    std::string Name() const override { return "script"; }
    std::vector<std::uint8_t> cur;
};

inline std::vector<std::uint8_t> Response(std::uint16_t type, std::uint16_t id, std::uint16_t seq,
                                          std::uint16_t status, std::vector<std::uint8_t> data = {}) {
    std::vector<std::uint8_t> f(28 + data.size());
    if (f.size() < 60) f.resize(60);
    PutBe16(&f[12], kEtherType);
    PutBe32(&f[14], kMagic);
    PutBe16(&f[18], type);
    PutBe16(&f[20], id);
    PutBe16(&f[22], std::uint16_t(2 + data.size()));
    PutBe16(&f[24], seq);
    PutBe16(&f[26], status);
    std::copy(data.begin(), data.end(), f.begin() + 28);
    return f;
}

} // namespace vq::test
