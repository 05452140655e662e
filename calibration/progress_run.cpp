#include "calibration/progress_run.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLabel>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace vq {

ProgressRun::ProgressRun(QWidget* parent, const QString& title) : QDialog(parent) {
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    stage_ = new QLabel(title, this);
    stage_->setObjectName("progressStage");
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 1);
    bar_->setValue(0);
    log_ = new QPlainTextEdit(this);
    log_->setObjectName("progressLog");
    log_->setReadOnly(true);
    log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)); // the log lines are columns
    log_->setMinimumSize(520, 220);
    log_->setMaximumBlockCount(2000);
    cancel_ = new QPushButton(tr("Cancel"), this);
    layout->addWidget(stage_);
    layout->addWidget(bar_);
    layout->addWidget(log_);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });
}

ProgressRun::~ProgressRun() {
    if (worker_.joinable()) {
        cancelled_ = true;
        worker_.join();
    }
}

void ProgressRun::Run(std::function<void()> job) {
    cancelled_ = false;
    running_ = true;
    QEventLoop loop;
    show();
    worker_ = std::thread([this, job = std::move(job), &loop] {
        job();
        running_ = false;
        // The loop ends on the UI thread, after every report queued before it.
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker_.join();
    hide();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressRun::Report(const QString& stage, int point, int total, const QStringList& lines) {
    QPointer<ProgressRun> self(this);
    QMetaObject::invokeMethod(
        this, [self, stage, point, total, lines] { if (self) self->Show(stage, point, total, lines); },
        Qt::QueuedConnection);
}

void ProgressRun::Show(const QString& stage, int point, int total, const QStringList& lines) {
    stage_->setText(QStringLiteral("%1: point %2 of %3").arg(stage).arg(point).arg(total));
    bar_->setRange(0, total > 0 ? total : 1);
    bar_->setValue(point);
    for (QString line : lines) {
        if (line.endsWith('\n')) line.chop(1);
        log_->appendPlainText(line);
    }
}

void ProgressRun::Cancel() {
    cancelled_ = true;
    cancel_->setEnabled(false);
    cancel_->setText(tr("Stopping after this point..."));
}

void ProgressRun::reject() {
    Cancel();
}

void ProgressRun::Stop() {
    Cancel();
    while (running_.load())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace vq
