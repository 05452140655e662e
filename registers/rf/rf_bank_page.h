// What the two RF register pages share: the 32 register rows of one half of
// the selected RF bank, the bank list, the single register access (MODE,
// Register ID, Value, R / W) and Read All. The page keeps no register values:
// every change goes to the device at once and the bank is read again.
#pragma once

#include "ui/qa_page.h"

#include <QString>
#include <cstdint>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace vq {

namespace rf {
class RegisterGrid;
} // namespace rf

class CRFBankPage : public QAPage {
    Q_OBJECT
  public:
    void Refresh();
    void OnBitButton(int buttonId);
    void OnModeRead();
    void OnModeWrite();
    void OnReadWrite();
    void OnBankSelected(int bank);

    rf::RegisterGrid* Grid() const { return grid_; }
    int Mode() const { return mode_; }

  protected:
    // Control ids of the bank list and the access controls (Read All is 1365 on both pages).
    struct AccessIds {
        int bank, read, write, regId, value, readWrite;
    };
    // Registers firstRegister..firstRegister+31 in the grid, the access
    // controls below its last column.
    CRFBankPage(const QString& caption, int firstRegister, const AccessIds& ids, QWidget* parent);

    // The page's values from and to the controls; pages with more controls
    // add theirs.
    virtual void ControlsToValues();
    virtual void ValuesToControls();
    // First showing: the bank names, the current bank, READ mode.
    void InitAccessControls();
    // The current bank in the list, then read again.
    void ShowCurrentBank();

    QVBoxLayout* outer_ = nullptr;
    rf::RegisterGrid* grid_ = nullptr;
    QComboBox* bankCombo_ = nullptr;
    QRadioButton* readRadio_ = nullptr;
    QRadioButton* writeRadio_ = nullptr;
    QLineEdit* regIdEdit_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QPushButton* rwButton_ = nullptr;
    QPushButton* readAllButton_ = nullptr;

    QString regId_, value_;
    int mode_ = 0;               // 0 READ, 1 WRITE
    std::uint8_t bank_[64] = {}; // last bank read; kept when a read fails
};

} // namespace vq
