#include "registers/bbp/bbp_page.h"

#include "base/services.h"
#include "device/device_commands.h"
#include "device/sequence.h"
#include "formats/text_files.h"
#include "registers/core/bbp_files.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vq {

namespace {

const char kBbpFilter[] = "BBP Files(*.txt)|*.txt||";
const char kScriptFilter[] = "BBP script Files(*.txt)|*.txt||";
const char kPapdFilter[] = "txt Files(*.txt)|*.txt||";
const char kCaptureFilter[] = "BBP Register File (*.bbp)|*.bbp||";

std::string LocalPath(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

QPushButton* Button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

CBBPPage::CBBPPage(QWidget* parent)
    : CBbpRegisterPage(tr("BBP Page 1"), tr("Read &ALL"), tr("Register ID"), true, true, parent) {
    AddRegisters(0, 111);

    auto* files = new QHBoxLayout;
    auto* loadRegs = Button(tr("Load Bbp Regs"), "loadBbpRegs", this);
    auto* saveRegs = Button(tr("Save Bbp Regs"), "saveBbpRegs", this);
    files->addWidget(loadRegs);
    files->addWidget(saveRegs);
    SidePanel()->addLayout(files);

    log_ = new QListWidget(this);
    log_->setObjectName("scriptLog");
    log_->setMinimumHeight(160);
    SidePanel()->addWidget(log_);
    auto* loadScript = Button(tr("Load Script"), "loadScript", this);
    SidePanel()->addWidget(loadScript);

    auto* papd = new QGroupBox(tr("PAPD"), this);
    auto* papdLayout = new QHBoxLayout(papd);
    auto* dump = Button(tr("Dump"), "papdDump", papd);
    auto* write = Button(tr("Write"), "papdWrite", papd);
    papdLayout->addWidget(dump);
    papdLayout->addWidget(write);
    SidePanel()->addWidget(papd);

    status_ = new QLabel(this);
    status_->setObjectName("statusLine");
    status_->setWordWrap(true);
    SidePanel()->addWidget(status_);

    // Engineering dumps of the baseband capture buffer; kept out of reach.
    auto* dumpAdc = Button(tr("Dump ADC"), "dumpAdc", this);
    auto* dumpFeq = Button(tr("Dump FEQ"), "dumpFeq", this);
    for (QPushButton* b : {dumpAdc, dumpFeq}) {
        b->setEnabled(false);
        b->hide();
        SidePanel()->addWidget(b);
    }

    connect(loadRegs, &QPushButton::clicked, this, &CBBPPage::OnLoadBbpRegs);
    connect(saveRegs, &QPushButton::clicked, this, &CBBPPage::OnSaveBbpRegs);
    connect(loadScript, &QPushButton::clicked, this, &CBBPPage::OnLoadScript);
    connect(dump, &QPushButton::clicked, this, &CBBPPage::OnPapdDump);
    connect(write, &QPushButton::clicked, this, &CBBPPage::OnPapdWrite);
    connect(dumpAdc, &QPushButton::clicked, this, &CBBPPage::OnDumpAdc);
    connect(dumpFeq, &QPushButton::clicked, this, &CBBPPage::OnDumpFeq);
}

void CBBPPage::ShowStatus(const QString& file, const std::string& text) {
    status_->setText(QFileInfo(file).fileName() + ": " + QString::fromStdString(text));
}

void CBBPPage::OnSaveBbpRegs() {
    const QString name = FileDialogs().SaveFile(tr("Open Script File"), ProgramDirectory(), kBbpFilter);
    if (name.isEmpty()) return;
    // The save dialog's questions: replace an existing file, create a new one.
    const std::string path = WithTxtIfMissing(LocalPath(name));
    if (!ConfirmReplaceOrCreate(path)) return;
    bool saved;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        saved = bbp::SaveRegisterFile(dev, path);
    }
    ShowStatus(QFile::decodeName(path.c_str()), saved ? "saved." : "not saved.");
}

void CBBPPage::OnLoadBbpRegs() {
    const QString name = FileDialogs().OpenFile(tr("Open BBP File"), ProgramDirectory(), kBbpFilter);
    if (name.isEmpty()) return;
    DeviceSequence sequence; // the file and the read-back
    WaitCursor wait;
    CDeviceCommands dev;
    RunnerSummary summary;
    if (!bbp::LoadRegisterFile(dev, LocalPath(name), &summary)) return;
    ShowStatus(name, summary.Text());
    OnReadAll();
}

void CBBPPage::OnLoadScript() {
    const QString name =
        FileDialogs().OpenFile(tr("Open BBP Script File"), ProgramDirectory(), kScriptFilter);
    if (name.isEmpty()) return;
    DeviceSequence sequence; // the script and the read-back
    std::vector<std::string> lines;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        if (!bbp::RunScript(dev, LocalPath(name), lines)) return;
    }
    log_->clear();
    logCount_ = 0;
    for (const std::string& line : lines) {
        QString text = QString::fromStdString(line);
        if (text.endsWith('\n')) text.chop(1);
        log_->addItem(text);
        log_->setCurrentRow(log_->count() - 1);
        ++logCount_;
    }
    OnReadAll();
}

void CBBPPage::OnPapdDump() {
    const QString name = FileDialogs().SaveFile(tr("Open File"), ProgramDirectory(), kPapdFilter);
    if (name.isEmpty()) return;
    const std::string path = bbp::WithTxtAlways(LocalPath(name));
    bool saved;
    {
        WaitCursor wait;
        CDeviceCommands dev;
        saved = bbp::DumpPapdTable(dev, path);
    }
    ShowStatus(QFile::decodeName(path.c_str()), saved ? "saved." : "not saved.");
}

void CBBPPage::OnPapdWrite() {
    const QString name = FileDialogs().OpenFile(tr("Open File"), ProgramDirectory(), kPapdFilter);
    if (name.isEmpty()) return;
    WaitCursor wait;
    CDeviceCommands dev;
    RunnerSummary summary;
    if (bbp::WritePapdTable(dev, LocalPath(name), &summary)) ShowStatus(name, summary.Text());
}

void CBBPPage::OnDumpAdc() {
    DumpCapture(false);
}
void CBBPPage::OnDumpFeq() {
    DumpCapture(true);
}

void CBBPPage::DumpCapture(bool feq) {
    const QString name = FileDialogs().OpenFile(tr("Open"), ProgramDirectory(), kCaptureFilter);
    if (name.isEmpty()) return;
    WaitCursor wait;
    CDeviceCommands dev;
    bbp::DumpCapture(dev, feq ? bbp::CaptureKind::Feq : bbp::CaptureKind::Adc, LocalPath(name),
                     [] { Sheet().ToggleReceiveTest(); });
}

} // namespace vq
