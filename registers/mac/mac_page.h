// "MAC" page: one region of the chip's memory-mapped space as a hex dump,
// single 32-bit register access, binary content files, MAC scripts, MAC
// register files and the write/read-back memory test.
#pragma once

#include "registers/core/mac_space.h"
#include "ui/qa_page.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace vq {

class CHexEdit;

class CMACPage : public QAPage {
    Q_OBJECT
  public:
    explicit CMACPage(QWidget* parent = nullptr);

    MacSpace& Space() { return space_; }
    CHexEdit* HexView() const { return hex_; }
    QComboBox* RegionList() const { return regions_; }
    QLineEdit* BaseAddressEdit() const { return baseAddress_; }
    QLineEdit* OffsetEdit() const { return offset_; }
    QLineEdit* ValueEdit() const { return value_; }
    QRadioButton* ReadRadio() const { return readRadio_; }
    QRadioButton* WriteRadio() const { return writeRadio_; }
    QPushButton* ResetNicButton() const { return resetNic_; }
    QListWidget* ScriptLog() const { return log_; }
    // One line under the page: what the last register file run or save did.
    QLabel* StatusLine() const { return status_; }
    int LogCount() const { return logCount_; }
    int Mode() const { return mode_; } // 0 read, 1 write

  public slots:
    void OnRegionSelected(int index);
    void OnReadAll();
    void OnRw();
    void OnModeRead();
    void OnModeWrite();
    void OnLoadFile();
    void OnSaveAs();
    void OnScriptFile();
    void OnMemoryTest();
    void OnDump();
    void OnLoadScript();
    void OnResetNic();

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;

  private:
    // Re-reads the current region and hands the dump to the hex view.
    void ReadRegion();
    void ShowDump();
    void ShowStatus(const std::string& text);
    // "Saved <file>." or "<file> was not saved." after a saver's result.
    void ShowSaved(const std::string& path, bool saved);

    MacSpace space_;
    CHexEdit* hex_ = nullptr;
    QComboBox* regions_ = nullptr;
    QLineEdit* baseAddress_ = nullptr;
    QLineEdit* offset_ = nullptr;
    QLineEdit* value_ = nullptr;
    QRadioButton* readRadio_ = nullptr;
    QRadioButton* writeRadio_ = nullptr;
    QPushButton* resetNic_ = nullptr;
    QListWidget* log_ = nullptr;
    QLabel* status_ = nullptr;
    int logCount_ = 0;
    int mode_ = 0;
    // Base addresses of the memory window: not used on this link.
    std::uint32_t logicalBase_ = 0, physicalBase_ = 0;
};

} // namespace vq
