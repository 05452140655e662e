// RF register pages: "RF Page 1" shows R0..R31 of the selected RF bank with
// the channel synthesizer values, TX power and crystal trims, the script
// runner and the register files; "RF Page 2" shows R32..R63 of the same bank.
// Neither page keeps register values: every change goes to the device at once
// and the bank is read again.
#pragma once

#include "registers/rf/rf_bank_page.h"

#include <QString>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace vq {

namespace rf {
class SpinArrows;
} // namespace rf

class CRFPage : public CRFBankPage {
    Q_OBJECT
  public:
    explicit CRFPage(QWidget* parent = nullptr);
    ~CRFPage() override;

    // What the sheet's services reach on this page.
    bool HasWindow() const { return Initialised(); }
    // The channel list on an index, without its change action.
    void SetChannelListIndex(int index);
    // TX power 0, TX power 1 and frequency offset into the trim fields.
    void ShowSharedValues(std::uint8_t txPower0, std::uint8_t txPower1, std::uint8_t freqOffset);

    // Actions of the page's own controls.
    void OnChannelSelected(int index);
    void OnVcoKillFocus();
    void OnTxPowerSpin(int path, int delta);
    void OnFreqOffsetSpin(int delta); // +1 left arrow, -1 right arrow
    void OnLoadScript();
    void OnSaveRfRegs();
    void OnLoadRfRegs();
    void OnDumpForAte();
    void OnTestReadWrite();

    double VcoValue() const { return vcoValue_; }
    // What the last register file load or save did.
    QLabel* StatusLine() const { return status_; }

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ControlsToValues() override;
    void ValuesToControls() override;
    void Show(QLineEdit* edit, QString& value, const QString& text);
    void ShowSynthValues(int index);
    void ShowChipInfo();
    void ShowStatus(const QString& path, const std::string& text);
    void ShowSaved(const QString& path, bool saved);

    QLabel* chipInfo_ = nullptr;
    QLineEdit* vcoEdit_ = nullptr;
    QComboBox* channelCombo_ = nullptr;
    QLineEdit* nEdit_ = nullptr;
    QLineEdit* kEdit_ = nullptr;
    QLineEdit* dEdit_ = nullptr;
    QLineEdit* ksdEdit_ = nullptr;
    QLineEdit* rEdit_ = nullptr;
    QLineEdit* txPower0Edit_ = nullptr;
    QLineEdit* txPower1Edit_ = nullptr;
    QLineEdit* freqOffsetEdit_ = nullptr;
    rf::SpinArrows* txPower0Spin_ = nullptr;
    rf::SpinArrows* txPower1Spin_ = nullptr;
    rf::SpinArrows* freqOffsetSpin_ = nullptr;
    QComboBox* powerDownCombo_ = nullptr;
    QComboBox* sdmCombo_ = nullptr;
    QComboBox* crystalCombo_ = nullptr;
    QComboBox* rdivCombo_ = nullptr;
    QListWidget* logList_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* loadScriptButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QPushButton* dumpButton_ = nullptr;
    QPushButton* testButton_ = nullptr;

    // The page's own values (exchanged with the controls).
    QString vco_, n_, k_, d_, ksd_, txPower0_, txPower1_, freqOffset_;
    double vcoValue_ = 0.0;
    int logCount_ = 0;
};

class CRFPage2 : public CRFBankPage {
    Q_OBJECT
  public:
    explicit CRFPage2(QWidget* parent = nullptr);

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;
};

} // namespace vq
