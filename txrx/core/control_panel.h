// The TX/RX page's controls as the radio set-up code sees them: addressed by
// their control id, so the set-up logic runs against the page or a test panel.
#pragma once

#include <QString>
#include <QStringList>

namespace vq {

class IControlPanel {
  public:
    virtual ~IControlPanel() = default;
    virtual bool Has(int id) const = 0;
    virtual QString Text(int id) const = 0;
    virtual void SetText(int id, const QString& text) = 0;
    virtual bool Checked(int id) const = 0;
    virtual void SetChecked(int id, bool on) = 0;
    virtual int Selection(int id) const = 0; // drop-down / list index, -1 for none
    virtual void SetSelection(int id, int index) = 0;
    virtual void SetItems(int id, const QStringList& items) = 0;
    virtual int ItemCount(int id) const = 0;
    virtual bool Enabled(int id) const = 0;
    virtual void SetEnabled(int id, bool on) = 0;
    virtual void SetVisible(int id, bool on) = 0;
    virtual void SetMaxLength(int id, int length) = 0; // edit limit
};

} // namespace vq
