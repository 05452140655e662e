// "FFT Graph" page: baseband captures from the chip's capture memory shown
// as a noise power spectrum (with the golden unit's curve and the noise
// figure against it) or as I/Q traces (with the RX EVM of the optional
// measurement library), repeated on a worker thread until stopped; a small
// BBP/RF register box and the ".adc" file of the last capture.
#pragma once

#include "controls/graph.h"
#include "measure/core/capture_loop.h"
#include "ui/qa_page.h"

#include <QString>
#include <mutex>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace vq {

class CFftGraphPage : public QAPage {
    Q_OBJECT
  public:
    explicit CFftGraphPage(QWidget* parent = nullptr);
    ~CFftGraphPage() override;

    bool OnKillActive() override;
    void OnDestroyPage() override;

    // Actions of the page's controls.
    void OnChannelChanged(int index);
    void OnRxPathChanged(int index);
    void OnBandwidthChanged(int index);
    void OnFrequencyView();
    void OnTimeView();
    void OnTimeRange(int microseconds);
    void OnAllRxPath();
    void OnRegisterAccess();
    void OnSaveAdcData();
    void OnStartStop();

    bool FrequencyDomain() const { return frequencyDomain_; }
    int BandwidthMHz() const { return bandwidthMHz_; }
    int FrequencyOffsetMHz() const { return frequencyOffsetMHz_; }
    bool Capturing() const { return loop_.Capturing(); }
    // The capture thread still runs (it may be finishing its last cycle).
    bool CaptureRunning() const { return loop_.Running(); }
    const CGraph& Graph() const { return graph_; }
    const GraphData& Data() const { return data_; }
    const std::vector<std::uint32_t>& LastCapture() const { return lastCapture_; }
    // Ends the capture thread (serving its calls to this thread meanwhile).
    void EndCapture();

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void BuildControls();
    void ApplyData();
    void ApplyFrequencyRange();
    void TimeViewControls(bool on);
    int CheckedTimeRange() const;
    // The control values the capture thread reads, kept current on this thread.
    void UpdateControls();
    CaptureControls Controls() const;
    void ShowSpectrum(SpectrumResult result);
    void ShowTraces(TraceResult result);
    void CaptureEnded();

    // Page state.
    bool frequencyDomain_ = true;
    bool autoTrigger_ = true;
    int bandwidthMHz_ = 20;
    int frequencyOffsetMHz_ = 2412;
    bool qOnly_ = false;

    CGraph graph_;
    GraphData data_;
    std::vector<GraphPoint> points_;
    std::vector<std::uint32_t> lastCapture_ = std::vector<std::uint32_t>(kCaptureWords);

    mutable std::mutex controlsMutex_;
    CaptureControls controls_;
    CaptureLoop loop_;

    QComboBox* channel_ = nullptr;
    QRadioButton* bbp_ = nullptr;
    QRadioButton* rf_ = nullptr;
    QRadioButton* read_ = nullptr;
    QRadioButton* write_ = nullptr;
    QLineEdit* registerId_ = nullptr;
    QLineEdit* registerValue_ = nullptr;
    QPushButton* readWrite_ = nullptr;
    QPushButton* saveAdc_ = nullptr;
    QPushButton* start_ = nullptr;
    QCheckBox* allRxPath_ = nullptr;
    QComboBox* rxPath_ = nullptr;
    QSlider* pause_ = nullptr;
    QComboBox* bandwidth_ = nullptr;
    QRadioButton* frequency_ = nullptr;
    QRadioButton* time_ = nullptr;
    QCheckBox* golden_ = nullptr;
    QCheckBox* showI_ = nullptr;
    QCheckBox* showQ_ = nullptr;
    QLineEdit* triggerOffset_ = nullptr;
    QRadioButton* autoMode_ = nullptr;
    QRadioButton* manualMode_ = nullptr;
    QRadioButton* range_[4] = {};
    QLabel* evm_ = nullptr;
};

} // namespace vq
