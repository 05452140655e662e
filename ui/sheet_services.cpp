#include "ui/sheet_services.h"

#include "device/sequence.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <atomic>

namespace vq {

namespace {

class NoSheet : public ISheetServices {
  public:
    void ToggleReceiveTest() override {}
    void ToggleTransmitTest() override {}
    void StopRunningTests() override {}
    void StopRunningReceive() override {}
    void PollCounters() override {}
    void ShareChannel(int) override {}
    void SelectChannel(int) override {}
    void SelectBandwidth(int) override {}
    void SelectReceivePath(int) override {}
    void OneReceivePath(bool) override {}
    void ShowSharedValues(bool, std::uint8_t, std::uint8_t, std::uint8_t) override {}
    void CloseMainWindow() override {}
};

NoSheet g_noSheet;
std::atomic<ISheetServices*> g_sheet{nullptr};

} // namespace

void OnUiThread(const std::function<void()>& f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        f();
        return;
    }
    DeviceSequence::Released released;
    QMetaObject::invokeMethod(app, f, Qt::BlockingQueuedConnection);
}

ISheetServices& Sheet() {
    ISheetServices* s = g_sheet.load();
    return s ? *s : g_noSheet;
}

void SetSheet(ISheetServices* sheet) {
    g_sheet.store(sheet);
}

} // namespace vq
