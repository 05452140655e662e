#include "registers/rf/rf_widgets.h"

#include "base/format.h"
#include "registers/core/rf_values.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace vq::rf {

RegisterGrid::RegisterGrid(int firstReg, QWidget* parent)
    : QWidget(parent), firstReg_(firstReg), layout_(new QGridLayout(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setHorizontalSpacing(14);
    layout_->setVerticalSpacing(2);
    values_.resize(kRegistersPerPage);
    bits_.resize(8 * kRegistersPerPage);
    for (int i = 0; i < kRegistersPerPage; ++i) {
        const int reg = firstReg + i;
        auto* row = new QWidget(this);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(1);
        auto* label = new QLabel(QStringLiteral("R%1").arg(reg), row);
        label->setFixedWidth(28);
        h->addWidget(label);
        auto* edit = new QLineEdit(row);
        edit->setObjectName(QString::number(ValueEditId(firstReg, reg)));
        edit->setReadOnly(true);
        edit->setMaxLength(2);
        edit->setFixedWidth(30);
        edit->setAlignment(Qt::AlignCenter);
        edit->setText(QStringLiteral("00"));
        h->addWidget(edit);
        h->addSpacing(4);
        values_[i] = edit;
        for (int bit = 7; bit >= 0; --bit) {
            const int id = BitButtonId(firstReg, reg, bit);
            auto* b = new QPushButton(QStringLiteral("0"), row);
            b->setObjectName(QString::number(id));
            b->setFixedSize(20, 22);
            b->setFocusPolicy(Qt::TabFocus);
            b->setToolTip(QStringLiteral("R%1 bit %2").arg(reg).arg(bit));
            connect(b, &QPushButton::clicked, this, [this, id] { emit BitClicked(id); });
            h->addWidget(b);
            bits_[8 * i + bit] = b;
        }
        h->addStretch();
        layout_->addWidget(row, i % 10, i / 10, Qt::AlignTop);
    }
    layout_->setRowStretch(10, 1);
}

void RegisterGrid::Show(int reg, std::uint8_t value) {
    const int i = reg - firstReg_;
    if (i < 0 || i >= kRegistersPerPage) return;
    values_[i]->setText(QString::fromStdString(Hex2(value)));
    for (int bit = 0; bit < 8; ++bit)
        bits_[8 * i + bit]->setText(QStringLiteral("0"));
    for (int bit = 0; bit < 8; ++bit)
        if (value & (1u << bit)) bits_[8 * i + bit]->setText(QStringLiteral("1"));
}

QPushButton* RegisterGrid::BitButton(int reg, int bit) const {
    const int i = reg - firstReg_;
    if (i < 0 || i >= kRegistersPerPage || bit < 0 || bit > 7) return nullptr;
    return bits_[8 * i + bit];
}

QLineEdit* RegisterGrid::ValueEdit(int reg) const {
    const int i = reg - firstReg_;
    return i < 0 || i >= kRegistersPerPage ? nullptr : values_[i];
}

SpinArrows::SpinArrows(Qt::Orientation orientation, QWidget* parent) : QWidget(parent) {
    QBoxLayout* box = orientation == Qt::Vertical ? static_cast<QBoxLayout*>(new QVBoxLayout(this))
                                                  : static_cast<QBoxLayout*>(new QHBoxLayout(this));
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    auto* first = new QToolButton(this);
    auto* second = new QToolButton(this);
    first->setArrowType(orientation == Qt::Vertical ? Qt::UpArrow : Qt::LeftArrow);
    second->setArrowType(orientation == Qt::Vertical ? Qt::DownArrow : Qt::RightArrow);
    const QSize size = orientation == Qt::Vertical ? QSize(18, 11) : QSize(16, 22);
    for (auto* b : {first, second}) {
        b->setFixedSize(size);
        b->setAutoRepeat(true);
        box->addWidget(b);
    }
    connect(first, &QToolButton::clicked, this, [this] { emit Stepped(+1); });
    connect(second, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
}

} // namespace vq::rf
