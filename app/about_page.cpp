#include "app/about_page.h"

#include "app/artwork.h"
#include "ui/window_drag.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vq {

CAboutPage::CAboutPage(QWidget* parent) : QAPage(QStringLiteral("About"), parent) {
    banner_ = new QLabel(this);
    banner_->setPixmap(AboutBanner(520, 120));
    banner_->setAlignment(Qt::AlignCenter);

    auto plain = [this](const char* text) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    auto* uiVersion = new QLineEdit(QStringLiteral("Release Version 1.0.6.0"), this);
    uiVersion->setReadOnly(true);
    firmware_ = new QLineEdit(this);
    firmware_->setReadOnly(true);
    for (QLineEdit* e : {uiVersion, firmware_}) {
        e->setFrame(false);
        e->setFocusPolicy(Qt::NoFocus);
        e->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    }

    auto* grid = new QGridLayout;
    grid->addWidget(plain("VQ9447 QA UI            :"), 0, 0);
    grid->addWidget(uiVersion, 0, 1);
    grid->addWidget(plain("VQ9447 QA Firmware :"), 1, 0);
    grid->addWidget(firmware_, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* note = plain("Bench and production test tool for boards built on the VQ9447 Wi-Fi SoC.");
    note->setWordWrap(true);

    web_ = new QPushButton(QString::fromLatin1(kProjectUrl), this);
    web_->setCursor(Qt::PointingHandCursor);
    connect(web_, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kProjectUrl))); });

    // The content keeps the banner's width and stays centred on a wide sheet.
    auto* column = new QWidget(this);
    column->setFixedWidth(banner_->sizeHint().width());
    auto* outer = new QHBoxLayout(this);
    outer->addStretch(1);
    outer->addWidget(column, 0, Qt::AlignTop);
    outer->addStretch(1);

    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(banner_);
    layout->addSpacing(12);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(note);
    layout->addSpacing(8);
    layout->addWidget(web_, 0, Qt::AlignLeft);
    layout->addStretch(1);

    auto* drag = new BodyDrag(this);
    // Read-only fields keep their presses; they are part of the body here.
    drag->Watch(uiVersion);
    drag->Watch(firmware_);
}

void CAboutPage::OnInitDialog() {
    firmware_->setText(QStringLiteral(" Release Version          0"));
}

} // namespace vq
