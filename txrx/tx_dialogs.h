// The two modal dialogs of the TX/RX page: the TX descriptor and TX-WI
// settings (rings, EDCA parameters, security, block-ack window) and the TX
// environment for the frame-loss figure with an external signal generator.
#pragma once

#include "txrx/core/txrx_model.h"

#include <QDialog>
#include <map>

class QWidget;
class QGroupBox;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QLabel;
class QRadioButton;

namespace vq {

class CSetTxDescriptor : public QDialog {
    Q_OBJECT
  public:
    // Shows `values`; OK takes the controls into it, Cancel leaves it alone.
    explicit CSetTxDescriptor(TxDescriptorValues& values, QWidget* parent = nullptr);
    QWidget* Control(int id) const;
    // Handlers (the controls call them; tests may too).
    void OnRingTypeChanged(int index);
    void OnRingClicked(int id);
    void OnBoundaryTest(bool checked);
    void TakeValues(); // controls into the values (what OK does before closing)

  private:
    void Load();
    void ApplyRingTypeRule(int ringType);
    void ApplyQosLayout();
    QCheckBox* Check(int id) const;
    QComboBox* Combo(int id) const;
    QLineEdit* Edit(int id) const;

    TxDescriptorValues& values_;
    std::map<int, QWidget*> controls_;
    QGroupBox* ringGroup_ = nullptr; // 1198
    QGroupBox* acGroups_[5] = {};    // "AC0 Ring" .. "MGN Ring"
    QLabel* ringTypeLabel_ = nullptr;
};

class CSetTxEnv : public QDialog {
    Q_OBJECT
  public:
    explicit CSetTxEnv(QWidget* parent = nullptr);
    QWidget* Control(int id) const;
    void OnTxPacket();
    void OnFreeRun();
    void OnOk();

  private:
    std::map<int, QWidget*> controls_;
    QRadioButton* txPacket_ = nullptr;
    QRadioButton* freeRun_ = nullptr;
    QLineEdit* packets_ = nullptr; // 1257
    QLineEdit* perSec_ = nullptr;  // 1258
};

} // namespace vq
