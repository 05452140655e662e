// "EEPROM" page: the board's 512-byte configuration content in a serial EEPROM,
// in the chip's eFuse or in the program's buffer: hex view, single byte and
// block access, content files, the three MAC addresses, the LED fields and the
// eFuse's free blocks.
#pragma once

#include "registers/core/eeprom_logic.h"
#include "ui/qa_page.h"

#include <map>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vq {

class CHexEdit;

class CEEPROMPage : public QAPage {
    Q_OBJECT
  public:
    explicit CEEPROMPage(QWidget* parent = nullptr);
    ~CEEPROMPage() override;

    // Controls by their template id (null for an unknown id).
    QWidget* Control(int id) const;
    template <class T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }
    CHexEdit* HexEdit() const { return hex_; }
    EepromPageLogic& Logic() { return logic_; }
    // The content image while the page is active (1024 bytes), else null.
    std::uint8_t* Image() const { return image_.get(); }

    bool OnKillActive() override;
    void OnDestroyPage() override;

  public slots:
    void OnReadMode();
    void OnWriteMode();
    void OnValueMode();
    void OnRw();
    void OnReadAll();
    void OnLoadFile();
    void OnSaveAs();
    void OnSetMac();
    void OnSetLanMac();
    void OnSetWanMac();
    void OnPolarityChanged(int index);
    void OnSetLed();
    void OnBufferMode();
    void OnDisableWriteWarning();
    void OnCheck();

  protected:
    void OnInitDialog() override;
    void OnSetActive() override;

  private:
    void Add(int id, QWidget* w);
    QLineEdit* Edit(int id) const;
    // Controls into the page values, and back.
    void Gather();
    void Show();
    void ApplyValueModeRule();
    // Frees the content buffers, or, while a handler of the page is running
    // (a box of its logic may be up), once the outermost handler returns.
    void FreeBuffers();
    void ReleaseBuffers();
    void SetMac(int which);

    // A page handler that reaches the logic (and so the content image).
    class Busy {
      public:
        explicit Busy(CEEPROMPage* page);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

      private:
        CEEPROMPage* page_;
    };
    int busy_ = 0;
    bool freePending_ = false;

    EepromPageLogic logic_;
    std::unique_ptr<std::uint8_t[]> image_;
    std::unique_ptr<std::uint8_t[]> work_;
    std::map<int, QWidget*> controls_;
    CHexEdit* hex_ = nullptr;
    QComboBox* led_[12] = {};
};

} // namespace vq
