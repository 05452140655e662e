// A control panel held in a map, with the page operations recorded, for
// running the radio set-up without the page's widgets.
#pragma once

#include "txrx/core/control_panel.h"
#include "txrx/core/txrx_page_actions.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace vq::test {

struct FakeControl {
    QString text;
    bool checked = false;
    int selection = -1;
    QStringList items;
    bool enabled = true;
    bool visible = true;
    int maxLength = -1;
};

class FakePanel : public IControlPanel, public ITxRxPageActions {
  public:
    // Every control the radio set-up addresses; `without` are left out.
    explicit FakePanel(std::set<int> without = {});

    bool Has(int id) const override { return controls.count(id) != 0; }
    QString Text(int id) const override { return Get(id).text; }
    void SetText(int id, const QString& text) override { At(id).text = text; }
    bool Checked(int id) const override { return Get(id).checked; }
    void SetChecked(int id, bool on) override { At(id).checked = on; }
    int Selection(int id) const override { return Get(id).selection; }
    void SetSelection(int id, int index) override { At(id).selection = index; }
    void SetItems(int id, const QStringList& items) override { At(id).items = items; }
    int ItemCount(int id) const override { return int(Get(id).items.size()); }
    bool Enabled(int id) const override { return Get(id).enabled; }
    void SetEnabled(int id, bool on) override { At(id).enabled = on; }
    void SetVisible(int id, bool on) override { At(id).visible = on; }
    void SetMaxLength(int id, int length) override { At(id).maxLength = length; }

    // Page operations: recorded.
    void FillChannelList() override { calls.push_back("FillChannelList"); }
    void FillModeAndRateLists() override { calls.push_back("FillModeAndRateLists"); }
    void ModeChanged() override { calls.push_back("ModeChanged"); }
    void ApplyFrameType(int index) override { calls.push_back("ApplyFrameType " + std::to_string(index)); }
    void ZeroCounterAccumulators() override { calls.push_back("ZeroCounterAccumulators"); }
    void ResetCounters() override { calls.push_back("ResetCounters"); }
    void SetTempSensor(bool on) override {
        calls.push_back(std::string("SetTempSensor ") + (on ? "1" : "0"));
    }
    void SetAutoResponder(bool on) override {
        calls.push_back(std::string("SetAutoResponder ") + (on ? "1" : "0"));
    }
    void SetQosLayout(bool on) override { calls.push_back(std::string("SetQosLayout ") + (on ? "1" : "0")); }
    void RestartContinuousTx() override { calls.push_back("RestartContinuousTx"); }

    const FakeControl& Get(int id) const;
    FakeControl& At(int id);
    std::map<int, FakeControl> controls;
    std::vector<std::string> calls;
    mutable std::set<int> touchedMissing; // ids used that the panel does not have
};

// Without page operations: a bare panel.
class BarePanel : public IControlPanel {
  public:
    explicit BarePanel(FakePanel& inner) : p(inner) {}
    bool Has(int id) const override { return p.Has(id); }
    QString Text(int id) const override { return p.Text(id); }
    void SetText(int id, const QString& text) override { p.SetText(id, text); }
    bool Checked(int id) const override { return p.Checked(id); }
    void SetChecked(int id, bool on) override { p.SetChecked(id, on); }
    int Selection(int id) const override { return p.Selection(id); }
    void SetSelection(int id, int index) override { p.SetSelection(id, index); }
    void SetItems(int id, const QStringList& items) override { p.SetItems(id, items); }
    int ItemCount(int id) const override { return p.ItemCount(id); }
    bool Enabled(int id) const override { return p.Enabled(id); }
    void SetEnabled(int id, bool on) override { p.SetEnabled(id, on); }
    void SetVisible(int id, bool on) override { p.SetVisible(id, on); }
    void SetMaxLength(int id, int length) override { p.SetMaxLength(id, length); }
    FakePanel& p;
};

} // namespace vq::test
