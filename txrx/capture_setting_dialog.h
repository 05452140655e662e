// "Capture Setting": trigger mode, capture source (ADC or FEQ output, ADC8 or
// ADC6, TX or RX side), trigger offset and number of captures. The dialog
// writes the process-wide capture settings the capture run reads.
#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vq {

class CCaptureModeSetting : public QDialog {
    Q_OBJECT
  public:
    // Resets the capture settings' choices to their start values.
    explicit CCaptureModeSetting(QWidget* parent = nullptr);

    // Handlers of the choices (the buttons call them; tests may too).
    void OnAdcMode();
    void OnFeqMode();
    void OnAdc8();
    void OnAdc6();
    // "Start Capture": offset and count into the settings, close with OK.
    void OnStartCapture();

    QRadioButton *autoTrigger = nullptr, *manualTrigger = nullptr;
    QRadioButton *adcMode = nullptr, *feqMode = nullptr;
    QRadioButton *adc8 = nullptr, *adc6 = nullptr;
    QRadioButton *tx = nullptr, *rx = nullptr;
    QLineEdit *offset = nullptr, *captureTimes = nullptr;
    QCheckBox* fftOutput = nullptr; // kept hidden, no function
    QPushButton *startCapture = nullptr, *cancel = nullptr;

  private:
    void SetSideEnabled(bool on);
};

} // namespace vq
