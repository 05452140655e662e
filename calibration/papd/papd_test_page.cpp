#include "calibration/papd/papd_test_page.h"

#include "calibration/papd/core/papd_memory.h"
#include "device/device_commands.h"
#include "formats/text_files.h"
#include "ui/ui_services.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace vq {

namespace {
const char kPbfFilter[] = "PBF Files(*.txt)|*.txt||";
const char kScopeFilter[] = "Data scope Files(*.txt)|*.txt||";
const char kSharedFilter[] = "ShareMemory Files(*.txt)|*.txt||";
const char kTableFilter[] = "Files(*.txt)|*.txt||";
const char kScriptTitle[] = "Open Script File";
const char kTableTitle[] = "Open File";
} // namespace

CPAPDTESTPage::CPAPDTESTPage(QWidget* parent) : QAPage(QStringLiteral("PAPD Test Page"), parent) {
    auto* top = new QVBoxLayout(this);
    struct Group {
        const char* title;
        const char* name;
        void (CPAPDTESTPage::*read)();
        void (CPAPDTESTPage::*write)();
    };
    const Group groups[] = {
        {"Read / Write PBF Side", "pbf", &CPAPDTESTPage::OnPbfRead, &CPAPDTESTPage::OnPbfWrite},
        {"Read / Write Data Scope Side", "scope", &CPAPDTESTPage::OnScopeRead, &CPAPDTESTPage::OnScopeWrite},
        {"Share Memory", "shared", &CPAPDTESTPage::OnSharedRead, &CPAPDTESTPage::OnSharedWrite},
        {"", "table", &CPAPDTESTPage::OnTableRead, &CPAPDTESTPage::OnTableWrite},
    };
    for (const Group& g : groups) {
        if (g.read == &CPAPDTESTPage::OnTableRead) {
            papdMode_ = new QCheckBox(QStringLiteral("PAPD Mode"), this);
            papdMode_->setObjectName(QStringLiteral("papdMode"));
            top->addWidget(papdMode_);
        }
        auto* box = new QGroupBox(QString::fromLatin1(g.title), this);
        auto* row = new QHBoxLayout(box);
        auto* read = new QPushButton(QStringLiteral("Read"), box);
        auto* write = new QPushButton(QStringLiteral("Write"), box);
        read->setObjectName(QString::fromLatin1(g.name) + "Read");
        write->setObjectName(QString::fromLatin1(g.name) + "Write");
        connect(read, &QPushButton::clicked, this, g.read);
        connect(write, &QPushButton::clicked, this, g.write);
        row->addWidget(read);
        row->addWidget(write);
        row->addStretch(1);
        box->setFixedWidth(320);
        top->addWidget(box);
    }
    top->addStretch(1);
}

std::string CPAPDTESTPage::AskSave(const char* filter, const char* title) {
    const QString name = FileDialogs().SaveFile(QString::fromLatin1(title), ProgramDirectory(), filter);
    if (name.isEmpty()) return {};
    const std::string path = WithExtensionIfNone(QFile::encodeName(name).toStdString(), ".txt");
    return ConfirmReplace(path) ? path : std::string();
}

std::string CPAPDTESTPage::AskOpen(const char* filter, const char* title) {
    const QString name = FileDialogs().OpenFile(QString::fromLatin1(title), ProgramDirectory(), filter);
    return name.isEmpty() ? std::string() : QFile::encodeName(name).toStdString();
}

namespace {
// The device work of an action after its file was chosen, under the wait cursor.
template <class Action> void RunOn(const std::string& path, Action action) {
    if (path.empty()) return;
    WaitCursor wait;
    CDeviceCommands dev;
    action(dev, path);
}
} // namespace

void CPAPDTESTPage::OnPbfRead() {
    RunOn(AskSave(kPbfFilter, kScriptTitle), [this](CDeviceCommands& dev, const std::string& p) {
        papd::ReadPbf(dev, p, papdMode_->isChecked());
    });
}
void CPAPDTESTPage::OnPbfWrite() {
    RunOn(AskOpen(kPbfFilter, kScriptTitle),
          [](CDeviceCommands& dev, const std::string& p) { papd::WritePbf(dev, p); });
}
void CPAPDTESTPage::OnScopeRead() {
    RunOn(AskSave(kScopeFilter, kScriptTitle),
          [](CDeviceCommands& dev, const std::string& p) { papd::ReadDataScope(dev, p); });
}
void CPAPDTESTPage::OnScopeWrite() {
    RunOn(AskOpen(kScopeFilter, kScriptTitle),
          [](CDeviceCommands& dev, const std::string& p) { papd::WriteDataScope(dev, p); });
}
void CPAPDTESTPage::OnSharedRead() {
    RunOn(AskSave(kSharedFilter, kScriptTitle), [this](CDeviceCommands& dev, const std::string& p) {
        papd::ReadSharedMemory(dev, p, papdMode_->isChecked());
    });
}
void CPAPDTESTPage::OnSharedWrite() {
    RunOn(AskOpen(kSharedFilter, kScriptTitle),
          [](CDeviceCommands& dev, const std::string& p) { papd::WriteSharedMemory(dev, p); });
}
void CPAPDTESTPage::OnTableRead() {
    RunOn(AskSave(kTableFilter, kTableTitle), [this](CDeviceCommands& dev, const std::string& p) {
        papd::ReadTable(dev, p, papdMode_->isChecked());
    });
}
void CPAPDTESTPage::OnTableWrite() {
    RunOn(AskOpen(kTableFilter, kTableTitle),
          [](CDeviceCommands& dev, const std::string& p) { papd::WriteTable(dev, p); });
}

} // namespace vq
