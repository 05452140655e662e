// Widgets shared by the two RF register pages: the block of register rows and
// the arrow pair of a spin control.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

class QGridLayout;
class QLineEdit;
class QPushButton;

namespace vq::rf {

// The control named after its control id.
template <class W> W* Named(W* w, int id) {
    w->setObjectName(QString::number(id));
    return w;
}

// 32 register rows "Rr" | value | bit 7 ... bit 0, in columns of ten. Each
// bit button and value edit is named after its control id.
class RegisterGrid : public QWidget {
    Q_OBJECT
  public:
    RegisterGrid(int firstReg, QWidget* parent = nullptr);
    int FirstRegister() const { return firstReg_; }
    // Value as "%02X" and the eight bit captions "0"/"1".
    void Show(int reg, std::uint8_t value);
    QPushButton* BitButton(int reg, int bit) const;
    QLineEdit* ValueEdit(int reg) const;
    // The grid's layout: rows occupy rows 0..9 of columns 0..3; column 3 is
    // free below its two rows for the page's own controls.
    QGridLayout* Layout() const { return layout_; }

  signals:
    void BitClicked(int buttonId);

  private:
    int firstReg_;
    QGridLayout* layout_;
    std::vector<QLineEdit*> values_;
    std::vector<QPushButton*> bits_; // 8 per register, bit 0 first
};

// The two arrows of a spin control next to its edit box. Emits +1 for the up
// (vertical) or left (horizontal) arrow and -1 for the other one.
class SpinArrows : public QWidget {
    Q_OBJECT
  public:
    SpinArrows(Qt::Orientation orientation, QWidget* parent = nullptr);
    void Click(int delta) { emit Stepped(delta); }

  signals:
    void Stepped(int delta);
};

} // namespace vq::rf
