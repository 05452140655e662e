#include "registers/mac/mac_page.h"

#include "base/format.h"
#include "base/services.h"
#include "controls/hex_edit.h"
#include "device/device_commands.h"
#include "device/sequence.h"
#include "formats/runner_summary.h"
#include "formats/text_files.h"
#include "ui/ui_services.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdio>

namespace vq {

namespace {

std::string Path(const QString& s) {
    return QFile::encodeName(s).toStdString();
}

} // namespace

CMACPage::CMACPage(QWidget* parent) : QAPage(QStringLiteral("MAC"), parent) {
    auto* top = new QVBoxLayout(this);

    auto* header = new QGridLayout;
    header->addWidget(new QLabel(QStringLiteral("PCI Memory Base Address :")), 0, 0);
    baseAddress_ = new QLineEdit;
    baseAddress_->setReadOnly(true);
    header->addWidget(baseAddress_, 0, 1);
    header->addWidget(new QLabel(QStringLiteral("(Logical) (Physical)")), 0, 2);
    header->addWidget(new QLabel(QStringLiteral("PCI Memory Bank Switch:")), 1, 0);
    regions_ = new QComboBox;
    // The entries are padded to line up: a fixed-pitch font keeps them aligned.
    regions_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    header->addWidget(regions_, 1, 1, 1, 2);
    header->setColumnStretch(3, 1);
    top->addLayout(header);

    auto* middle = new QHBoxLayout;
    hex_ = new CHexEdit;
    hex_->SetBytesPerRow(16);
    hex_->SetAllowLengthChange(false); // the page keeps using its own dump buffer
    hex_->setMinimumSize(600, 300);
    middle->addWidget(hex_, 1);

    auto* side = new QVBoxLayout;
    auto* single = new QGroupBox(QStringLiteral("Single Read/Write"));
    auto* singleLayout = new QGridLayout(single);
    auto* modeBox = new QGroupBox(QStringLiteral("Mode"));
    auto* modeLayout = new QHBoxLayout(modeBox);
    readRadio_ = new QRadioButton(QStringLiteral("&READ"));
    writeRadio_ = new QRadioButton(QStringLiteral("&WRITE"));
    readRadio_->setChecked(true);
    modeLayout->addWidget(readRadio_);
    modeLayout->addWidget(writeRadio_);
    singleLayout->addWidget(modeBox, 0, 0, 1, 2);
    singleLayout->addWidget(new QLabel(QStringLiteral("Offset")), 1, 0);
    offset_ = new QLineEdit(QStringLiteral("00000000"));
    singleLayout->addWidget(offset_, 1, 1);
    singleLayout->addWidget(new QLabel(QStringLiteral("Value")), 2, 0);
    value_ = new QLineEdit(QStringLiteral("00000000"));
    singleLayout->addWidget(value_, 2, 1);
    auto* rw = new QPushButton(QStringLiteral("R/W"));
    singleLayout->addWidget(rw, 3, 0, 1, 2);
    side->addWidget(single);

    auto* readAll = new QPushButton(QStringLiteral("Read &ALL"));
    auto* loadFile = new QPushButton(QStringLiteral("Load File"));
    auto* saveAs = new QPushButton(QStringLiteral("Save As..."));
    auto* scriptFile = new QPushButton(QStringLiteral("Script File"));
    auto* test = new QPushButton(QStringLiteral("RW/TEST"));
    auto* dump = new QPushButton(QStringLiteral("Dump"));
    resetNic_ = new QPushButton(QStringLiteral("Reset NIC"));
    resetNic_->setEnabled(false);
    resetNic_->setVisible(false);
    for (QPushButton* b : {readAll, loadFile, saveAs, scriptFile, test, dump, resetNic_})
        side->addWidget(b);
    side->addStretch(1);
    middle->addLayout(side);
    top->addLayout(middle, 1);

    auto* bottom = new QHBoxLayout;
    log_ = new QListWidget;
    log_->setMinimumHeight(90);
    bottom->addWidget(log_, 1);
    auto* loadScript = new QPushButton(QStringLiteral("Load Script"));
    bottom->addWidget(loadScript, 0, Qt::AlignTop);
    top->addLayout(bottom);
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("statusLine"));
    top->addWidget(status_);

    baseAddress_->setText(QString::fromStdString(Format("(%08X) (%08X)", logicalBase_, physicalBase_)));

    connect(regions_, qOverload<int>(&QComboBox::activated), this, &CMACPage::OnRegionSelected);
    connect(readRadio_, &QRadioButton::clicked, this, &CMACPage::OnModeRead);
    connect(writeRadio_, &QRadioButton::clicked, this, &CMACPage::OnModeWrite);
    connect(rw, &QPushButton::clicked, this, &CMACPage::OnRw);
    connect(readAll, &QPushButton::clicked, this, &CMACPage::OnReadAll);
    connect(loadFile, &QPushButton::clicked, this, &CMACPage::OnLoadFile);
    connect(saveAs, &QPushButton::clicked, this, &CMACPage::OnSaveAs);
    connect(scriptFile, &QPushButton::clicked, this, &CMACPage::OnScriptFile);
    connect(test, &QPushButton::clicked, this, &CMACPage::OnMemoryTest);
    connect(dump, &QPushButton::clicked, this, &CMACPage::OnDump);
    connect(loadScript, &QPushButton::clicked, this, &CMACPage::OnLoadScript);
    connect(resetNic_, &QPushButton::clicked, this, &CMACPage::OnResetNic);
}

void CMACPage::OnInitDialog() {
    offset_->setMaxLength(8);
    value_->setMaxLength(8);
    value_->setReadOnly(true);
    regions_->clear();
    for (int i = 0; i < kMacRegionCount; ++i)
        regions_->addItem(QString::fromStdString(MacRegionEntry(i)));
    regions_->setCurrentIndex(0);
    OnRegionSelected(0);
}

void CMACPage::OnSetActive() {
    ReadRegion();
}

void CMACPage::OnRegionSelected(int index) {
    space_.SelectRegion(index);
    ReadRegion();
}

void CMACPage::ShowDump() {
    if (space_.HasBuffers()) hex_->SetData(space_.DumpBytes(), static_cast<int>(space_.RegionLength()));
    hex_->Refresh();
}

void CMACPage::ReadRegion() {
    if (!space_.HasBuffers()) return;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        space_.ReadRegion(dev);
    }
    ShowDump();
}

void CMACPage::ShowStatus(const std::string& text) {
    status_->setText(QString::fromStdString(text));
}

void CMACPage::ShowSaved(const std::string& path, bool saved) {
    ShowStatus(saved ? "Saved " + path + "." : path + " was not saved.");
}

void CMACPage::OnReadAll() {
    ReadRegion();
}

void CMACPage::OnModeRead() {
    mode_ = 0;
    readRadio_->setChecked(true);
    value_->setReadOnly(true);
}

void CMACPage::OnModeWrite() {
    mode_ = 1;
    writeRadio_->setChecked(true);
    value_->setReadOnly(false);
}

void CMACPage::OnRw() {
    CDeviceCommands dev;
    const std::uint32_t address = space_.RegionOffset() + ParseMacHexField(offset_->text().toStdString());
    if (mode_ == 1) {
        dev.MacWrite(address, ParseMacHexField(value_->text().toStdString()));
        return;
    }
    std::uint32_t v = 0;
    if (dev.MacRead(address, v) != 0) return; // the command layer reported it; the field keeps its value
    value_->setText(QString::fromStdString(Format("%08X", v)));
}

void CMACPage::OnLoadFile() {
    const QString path = FileDialogs().OpenFile(QStringLiteral("Open"), ProgramDirectory(),
                                                QStringLiteral("HW Memory content File (*.bin)|*.bin||"));
    DeviceSequence sequence; // the write and the read-back
    if (!path.isEmpty()) {
        space_.contentFileName = Path(path);
        WaitCursor wait;
        CDeviceCommands dev;
        space_.WriteContentFile(dev, space_.contentFileName);
    }
    Sleep(50);
    ReadRegion();
}

void CMACPage::OnSaveAs() {
    const QString chosen =
        FileDialogs().SaveFile(QStringLiteral("Save As"), ProgramDirectory(),
                               QStringLiteral("HW Memory content content File (*.bin)|*.bin||"));
    if (chosen.isEmpty()) return;
    const std::string path = WithExtensionIfNone(Path(chosen), ".bin");
    ShowSaved(path, space_.SaveContentFile(path));
}

void CMACPage::OnScriptFile() {
    const QString chosen = FileDialogs().OpenFile(QStringLiteral("Open"), ProgramDirectory(),
                                                  QStringLiteral("MAC Register File (*.mac)|*.mac||"));
    DeviceSequence sequence; // the file and the read-back
    if (!chosen.isEmpty()) {
        WaitCursor wait;
        CDeviceCommands dev;
        const std::string path = WithExtensionIfNone(Path(chosen), ".mac");
        RunnerSummary summary;
        const bool ran = space_.RunRegisterFile(
            dev, path,
            [this](int index) {
                // The list follows the region; it is read at the end of the file.
                regions_->setCurrentIndex(index);
            },
            &summary);
        if (ran)
            ShowStatus(QFileInfo(QFile::decodeName(path.c_str())).fileName().toStdString() + ": " +
                       summary.Text());
    }
    ReadRegion();
}

void CMACPage::OnMemoryTest() {
    const int region = space_.RegionIndex();
    if (region != kMacRegionSharedMemory && region != kMacRegionPacketBuf) return;
    constexpr int kPasses = 100;
    // 8192 writes and 32 reads per pass on the packet buffer: show where the
    // test stands; Cancel ends it after the pass under way.
    QProgressDialog progress(QStringLiteral("RW/TEST: pass 0 of %1").arg(kPasses), QStringLiteral("Cancel"),
                             0, kPasses, this);
    progress.setWindowTitle(QStringLiteral("RW/TEST"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false); // a reset at the maximum would empty the bar at the last pass
    progress.setValue(0);
    progress.show();
    ProcessUiEvents();
    MacSpace::TestRun run;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        run = space_.RunMemoryTest(dev, kPasses, [&](int pass) {
            progress.setLabelText(QStringLiteral("RW/TEST: pass %1 of %2").arg(pass).arg(kPasses));
            progress.setValue(pass);
            ProcessUiEvents();
            return !progress.wasCanceled();
        });
    }
    // The result box comes after the progress dialog, so nothing stands in
    // front of it (hidden, not closed: closing counts as Cancel and empties the bar).
    progress.hide();
    ProcessUiEvents();
    ShowDump();
    MacSpace::ShowTestResult(run.result);
}

void CMACPage::OnDump() {
    const QString chosen = FileDialogs().SaveFile(QStringLiteral("Open File"), ProgramDirectory(),
                                                  QStringLiteral("MAC Files(*.txt)|*.txt||"));
    if (chosen.isEmpty()) return;
    // The save dialog of "Dump" asks before replacing a file and before creating one.
    const std::string path = WithTxtIfMissing(Path(chosen));
    if (!ConfirmReplaceOrCreate(path)) return;
    ShowSaved(path, space_.SaveDumpText(path));
}

void CMACPage::OnLoadScript() {
    const QString path = FileDialogs().OpenFile(QStringLiteral("Open MAC Script File"), ProgramDirectory(),
                                                QStringLiteral("MAC script Files(*.txt)|*.txt||"));
    if (path.isEmpty()) return;
    if (FILE* f = std::fopen(Path(path).c_str(), "rb"))
        std::fclose(f);
    else
        return; // a script that cannot be opened is ignored
    log_->clear();
    logCount_ = 0;
    DeviceSequence sequence; // the script and the read-back
    bool opened;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        opened = space_.RunScript(dev, Path(path), [this](const std::string& line) {
            QString text = QString::fromStdString(line);
            if (text.endsWith('\n')) text.chop(1);
            log_->addItem(text);
            log_->setCurrentRow(log_->count() - 1);
            ++logCount_;
        });
    }
    if (opened) ReadRegion();
}

void CMACPage::OnResetNic() {
    CDeviceCommands dev;
    MacSpace::ResetNic(dev);
}

} // namespace vq
