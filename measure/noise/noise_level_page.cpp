#include "measure/noise/noise_level_page.h"

#include "device/device_commands.h"
#include "ui/sheet_services.h"
#include "ui/ui_services.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace vq {

namespace {

// Table and column of a channel index; false when no table shows it.
bool Locate(int channelIndex, int& table, int& column) {
    const auto& tables = noise::Tables();
    for (int t = 0; t < int(tables.size()); ++t) {
        const int first = tables[t].firstIndex;
        if (channelIndex >= first && channelIndex < first + int(tables[t].columns.size())) {
            table = t;
            column = 1 + channelIndex - first;
            return true;
        }
    }
    return false;
}

QString ChannelCaption(int channelIndex) {
    int t = 0, c = 0;
    if (!Locate(channelIndex, t, c)) return {};
    return QString::fromLatin1(noise::Tables()[t].columns[c - 1]);
}

} // namespace

CNoiseLevelPage::CNoiseLevelPage(QWidget* parent) : QAPage(QStringLiteral("Noise Level"), parent) {
    auto* top = new QVBoxLayout(this);
    const auto& tables = noise::Tables();
    for (int t = 0; t < int(tables.size()); ++t) {
        auto* group = new QGroupBox(QString::fromLatin1(tables[t].group), this);
        auto* layout = new QVBoxLayout(group);
        const int columns = 1 + int(tables[t].columns.size());
        auto* table = new QTableWidget(noise::kPaths, columns, group);
        table->setObjectName(QStringLiteral("noiseTable%1").arg(t + 1));
        QStringList headers{QString()};
        for (const char* c : tables[t].columns)
            headers << QString::fromLatin1(c);
        table->setHorizontalHeaderLabels(headers);
        table->verticalHeader()->hide();
        table->setShowGrid(true);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionMode(QAbstractItemView::NoSelection);
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table->setColumnWidth(0, 60);
        for (int c = 1; c < columns; ++c)
            table->setColumnWidth(c, 50);
        for (int r = 0; r < noise::kPaths; ++r) {
            table->setRowHeight(r, 20);
            table->setItem(r, 0, new QTableWidgetItem(QString::fromLatin1(noise::kRowLabels[r])));
        }
        table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + 3 * 20 + 4);
        layout->addWidget(table);
        top->addWidget(group);
        tables_[t] = table;
    }
    auto* buttons = new QHBoxLayout;
    struct Button {
        const char* text;
        const char* name;
        void (CNoiseLevelPage::*slot)();
    };
    for (const Button& b : {Button{"2.4G START", "start24", &CNoiseLevelPage::OnStart24},
                            Button{"5G START", "start5", &CNoiseLevelPage::OnStart5},
                            Button{"START ALL", "startAll", &CNoiseLevelPage::OnStartAll}}) {
        auto* button = new QPushButton(QString::fromLatin1(b.text), this);
        button->setObjectName(QString::fromLatin1(b.name));
        connect(button, &QPushButton::clicked, this, b.slot);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    top->addLayout(buttons);
    top->addStretch(1);
}

QString CNoiseLevelPage::Cell(int channelIndex, int path) const {
    int t = 0, c = 0;
    if (!Locate(channelIndex, t, c)) return {};
    const QTableWidgetItem* item = tables_[t]->item(path, c);
    return item ? item->text() : QString();
}

void CNoiseLevelPage::Clear(noise::Band band) {
    const auto& tables = noise::Tables();
    for (int t = 0; t < int(tables.size()); ++t) {
        if (tables[t].band != band) continue;
        for (int r = 0; r < noise::kPaths; ++r)
            for (int c = 1; c < tables_[t]->columnCount(); ++c)
                delete tables_[t]->takeItem(r, c);
    }
}

void CNoiseLevelPage::Show(int channelIndex, int path, int dbm) {
    int t = 0, c = 0;
    if (!Locate(channelIndex, t, c)) return;
    tables_[t]->setItem(path, c, new QTableWidgetItem(QString::number(dbm)));
}

void CNoiseLevelPage::Sweep(noise::Band band) {
    if (const std::string why = noise::BandRefusal(band); !why.empty()) {
        ShowMessage(why, MsgIcon::Warning);
        return;
    }
    // The sweep blocks this thread for over a second a band: the progress
    // dialog keeps the window painted and tells which channel is measured.
    const int first = noise::FirstIndex(band), last = noise::LastIndex(band);
    QProgressDialog progress(QString(), QString(), 0, last - first + 1, this);
    progress.setWindowTitle(QStringLiteral("Noise Level"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setCancelButton(nullptr);
    progress.show();
    {
        WaitCursor wait;
        CDeviceCommands dev;
        noise::SweepHooks hooks;
        hooks.selectChannel = [](int index) { Sheet().SelectChannel(index); };
        hooks.toggleReceive = [] { Sheet().ToggleReceiveTest(); };
        hooks.measuring = [&](int index) {
            progress.setLabelText(QStringLiteral("Measuring %1 ...").arg(ChannelCaption(index)));
            progress.setValue(index - first);
            ProcessUiEvents();
        };
        hooks.result = [this](int index, int path, int dbm) { Show(index, path, dbm); };
        noise::RunSweep(dev, band, hooks);
    }
    progress.hide();
}

void CNoiseLevelPage::OnStart24() {
    Clear(noise::Band::Ghz24);
    Sweep(noise::Band::Ghz24);
}

void CNoiseLevelPage::OnStart5() {
    Clear(noise::Band::Ghz5);
    Sweep(noise::Band::Ghz5);
}

void CNoiseLevelPage::OnStartAll() {
    Sweep(noise::Band::Ghz24);
    Sweep(noise::Band::Ghz5);
}

} // namespace vq
