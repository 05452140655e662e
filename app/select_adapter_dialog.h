// Select Adapter dialog: the operator picks the adapter wired to the board,
// the iNic frame variant and where EEPROM contents come from.
#pragma once

#include "app/adapter_backend.h"
#include "link/link_session.h"

#include <QDialog>
#include <QString>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace vq {

class CSelectAdapterDlg : public QDialog {
    Q_OBJECT
  public:
    // `simulatorEntry`: append the simulated board as the last entry and preselect it.
    explicit CSelectAdapterDlg(IAdapterBackend& backend, bool simulatorEntry, QWidget* parent = nullptr);

    // Dialog start: fills the adapter list. False when device enumeration
    // failed and there is nothing to offer (the program then ends with status 1).
    bool Start();
    // OK: opens the selected adapter. True when the dialog closed with OK;
    // false leaves it up with the same list.
    bool OnOK();

    int AdapterCount() const { return count_; }
    // 1-based position of the simulated board's entry (0: none).
    int SimulatedPosition() const { return simulatedPosition_; }
    bool EfuseChosen() const { return efuseChosen_; }
    // The board attached when the simulated entry was confirmed.
    std::shared_ptr<agent::BoardModel> SimulatedBoard() const { return board_; }
    QString StatusText() const;

    QComboBox* AdapterCombo() const { return adapters_; }
    QCheckBox* InicBox() const { return inic_; }
    QRadioButton* EepromRadio() const { return eepromRadio_; }
    QRadioButton* EfuseRadio() const { return efuseRadio_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* StatusLine() const { return status_; }

  private:
    void ShowStatus(const std::string& diagnostic);
    void OnInicClicked(bool checked);

    IAdapterBackend& backend_;
    bool simulatorEntry_;
    AdapterList list_;
    bool listHeld_ = false;
    int count_ = 0;
    int simulatedPosition_ = 0;
    bool efuseChosen_ = false;
    std::shared_ptr<agent::BoardModel> board_;

    QComboBox* adapters_;
    QCheckBox* inic_;
    QGroupBox* sourceGroup_;
    QRadioButton* eepromRadio_;
    QRadioButton* efuseRadio_;
    QLabel* status_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace vq
