// The three BBP register pages: a grid of read-only register fields refreshed
// by one BBP Read-All, a single-register read/write, and on page 1 the
// register files, BBP scripts, the PAPD table and the capture dumps.
#pragma once

#include "ui/qa_page.h"

#include <QString>
#include <map>

class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace vq {

// What the three pages share: the register grid and the "Single Read/Write" group.
class CBbpRegisterPage : public QAPage {
    Q_OBJECT
  public:
    // The field of register `reg`, null when this page does not show it.
    QLineEdit* RegisterField(unsigned reg) const;
    QLabel* RegisterLabel(unsigned reg) const;
    QLineEdit* RegisterIdEdit() const { return registerId_; }
    QLineEdit* ValueEdit() const { return value_; }
    QRadioButton* ReadRadio() const { return readRadio_; }
    QRadioButton* WriteRadio() const { return writeRadio_; }
    QPushButton* RwButton() const { return rwButton_; }
    QPushButton* ReadAllButton() const { return readAll_; }
    int Mode() const { return mode_; } // 0 read, 1 write

  public slots:
    void OnReadAll(); // one BBP Read-All into the shown fields
    void OnModeRead();
    void OnModeWrite();
    void OnRw();

  protected:
    CBbpRegisterPage(const QString& caption, const QString& readAllCaption, const QString& registerLabel,
                     bool digitsOnly, bool readR0AtStart, QWidget* parent);
    // Adds fields for R`first`..R`last`; hidden ones exist but are not shown.
    void AddRegisters(unsigned first, unsigned last, bool visible = true);
    // Column of the side panel below the read/write group, for the page's own controls.
    QVBoxLayout* SidePanel() const { return side_; }
    void OnInitDialog() override;
    void OnSetActive() override;

  private:
    struct Cell {
        QLabel* label;
        QLineEdit* field;
    };
    std::map<unsigned, Cell> cells_;
    std::map<unsigned, int> columns_; // high nibble -> grid column pair
    QGridLayout* grid_ = nullptr;
    QVBoxLayout* side_ = nullptr;
    QLineEdit* registerId_ = nullptr;
    QLineEdit* value_ = nullptr;
    QRadioButton* readRadio_ = nullptr;
    QRadioButton* writeRadio_ = nullptr;
    QPushButton* rwButton_ = nullptr;
    QPushButton* readAll_ = nullptr;
    bool readR0AtStart_;
    int mode_ = 0;
};

// "BBP Page 1": R0..R111, register files, scripts, PAPD table, capture dumps.
class CBBPPage : public CBbpRegisterPage {
    Q_OBJECT
  public:
    explicit CBBPPage(QWidget* parent = nullptr);
    QListWidget* ScriptLog() const { return log_; }
    int LogCount() const { return logCount_; }
    // What the last register file load, PAPD write or save did.
    QLabel* StatusLine() const { return status_; }

  public slots:
    void OnLoadBbpRegs();
    void OnSaveBbpRegs();
    void OnLoadScript();
    void OnPapdDump();
    void OnPapdWrite();
    // Behind hidden, disabled buttons: not reachable by the operator.
    void OnDumpAdc();
    void OnDumpFeq();

  private:
    void DumpCapture(bool feq);
    void ShowStatus(const QString& file, const std::string& text);
    QListWidget* log_ = nullptr;
    QLabel* status_ = nullptr;
    int logCount_ = 0;
};

// "BBP Page 2": R112..R136.
class CBBPPage2 : public CBbpRegisterPage {
    Q_OBJECT
  public:
    explicit CBBPPage2(QWidget* parent = nullptr);
};

// "BBP Page 3": R137..R199 and R248..R250 (R251..R255 present, hidden).
class CBBPPage3 : public CBbpRegisterPage {
    Q_OBJECT
  public:
    explicit CBBPPage3(QWidget* parent = nullptr);
};

} // namespace vq
