// RF register pages: "RF Page 1" shows R0..R31 of the selected RF bank with
// the channel synthesizer values, TX power and crystal trims, the script
// runner and the register files; "RF Page 2" shows R32..R63 of the same bank.
// Neither page keeps register values: every change goes to the device at once
// and the bank is read again.
#pragma once

#include "app/core/qa_page.h"
#include "app/core/sheet_services.h"

#include <QString>
#include <cstdint>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vq {

namespace rf {
class RegisterGrid;
class SpinArrows;
} // namespace rf

class CRFPage : public QAPage, public IRfPageOps {
    Q_OBJECT
  public:
    explicit CRFPage(QWidget* parent = nullptr);
    ~CRFPage() override;

    // IRfPageOps
    bool HasWindow() const override { return Initialised(); }
    void SetChannelListIndex(int index) override;
    void ShowSharedValues(std::uint8_t txPower0, std::uint8_t txPower1, std::uint8_t freqOffset) override;

    // Actions of the controls.
    void Refresh();
    void OnBitButton(int buttonId);
    void OnModeRead();
    void OnModeWrite();
    void OnReadWrite();
    void OnBankSelected(int bank);
    void OnChannelSelected(int index);
    void OnVcoKillFocus();
    void OnTxPowerSpin(int path, int delta);
    void OnFreqOffsetSpin(int delta); // +1 left arrow, -1 right arrow
    void OnLoadScript();
    void OnSaveRfRegs();
    void OnLoadRfRegs();
    void OnDumpForAte();
    void OnTestReadWrite();

    rf::RegisterGrid* Grid() const { return grid_; }
    double VcoValue() const { return vcoValue_; }
    int Mode() const { return mode_; }

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ControlsToValues();
    void ValuesToControls();
    void Show(QLineEdit* edit, QString& value, const QString& text);
    void ShowSynthValues(int index);
    void ShowChipInfo();

    rf::RegisterGrid* grid_ = nullptr;
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
    QComboBox* bankCombo_ = nullptr;
    QComboBox* powerDownCombo_ = nullptr;
    QComboBox* sdmCombo_ = nullptr;
    QComboBox* crystalCombo_ = nullptr;
    QComboBox* rdivCombo_ = nullptr;
    QListWidget* logList_ = nullptr;
    QRadioButton* readRadio_ = nullptr;
    QRadioButton* writeRadio_ = nullptr;
    QLineEdit* regIdEdit_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QPushButton* rwButton_ = nullptr;
    QPushButton* readAllButton_ = nullptr;
    QPushButton* loadScriptButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* loadButton_ = nullptr;
    QPushButton* dumpButton_ = nullptr;
    QPushButton* testButton_ = nullptr;

    // The page's values (exchanged with the controls).
    QString vco_, n_, k_, d_, ksd_, txPower0_, txPower1_, freqOffset_, regId_, value_;
    double vcoValue_ = 0.0;
    int mode_ = 0; // 0 READ, 1 WRITE
    int logCount_ = 0;
    std::uint8_t bank_[64] = {}; // last bank read; kept when a read fails
};

class CRFPage2 : public QAPage {
    Q_OBJECT
  public:
    explicit CRFPage2(QWidget* parent = nullptr);

    void Refresh();
    void OnBitButton(int buttonId);
    void OnModeRead();
    void OnModeWrite();
    void OnReadWrite();
    void OnBankSelected(int bank);

    rf::RegisterGrid* Grid() const { return grid_; }
    int Mode() const { return mode_; }

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;

  private:
    void ControlsToValues();
    void ValuesToControls();

    rf::RegisterGrid* grid_ = nullptr;
    QComboBox* bankCombo_ = nullptr;
    QRadioButton* readRadio_ = nullptr;
    QRadioButton* writeRadio_ = nullptr;
    QLineEdit* regIdEdit_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QPushButton* rwButton_ = nullptr;
    QPushButton* readAllButton_ = nullptr;

    QString regId_, value_;
    int mode_ = 0;
    std::uint8_t bank_[64] = {};
};

} // namespace vq
