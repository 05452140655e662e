// The sheet's services for tests that build single pages: the shell's
// dispatch over the pages (or stand-ins) the test binds, installed as Sheet()
// for the fixture's lifetime.
#pragma once

#include "app/page_services.h"

#include <cstdint>

namespace vq::test {

// Stand-ins for an absent page type.
struct NoTxRxPage {
    void ToggleRx() {}
    void ToggleTx() {}
    bool IsRxRunning() const { return false; }
    bool IsTxRunning() const { return false; }
    void PollCounters() {}
    bool HasWindow() const { return false; }
    void SelectChannel(int) {}
    void SelectBandwidth(int) {}
    void SelectRxPath(int) {}
    void SetOneRxPath(bool) {}
    void SetChannelListIndex(int) {}
    void ShowSharedValues(std::uint8_t, std::uint8_t, std::uint8_t) {}
};
struct NoRfPage {
    bool HasWindow() const { return false; }
    void SetChannelListIndex(int) {}
    void ShowSharedValues(std::uint8_t, std::uint8_t, std::uint8_t) {}
};

template <class TxRxPage = NoTxRxPage, class RfPage = NoRfPage>
class TestSheet : public PageServices<TxRxPage, RfPage> {
  public:
    TestSheet() { SetSheet(this); }
    ~TestSheet() override {
        if (&Sheet() == this) SetSheet(nullptr);
    }
    TestSheet(const TestSheet&) = delete;
    TestSheet& operator=(const TestSheet&) = delete;
};

} // namespace vq::test
