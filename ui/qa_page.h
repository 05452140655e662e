// Base of every page of the sheet: caption, first-showing initialisation and
// activation notices.
#pragma once

#include <QString>
#include <QWidget>

namespace vq {

class QAPage : public QWidget {
    Q_OBJECT
  public:
    explicit QAPage(const QString& caption, QWidget* parent = nullptr);
    QString Caption() const { return caption_; }

    // Called by the sheet when the page becomes the shown page: the first
    // time OnInitDialog() runs before OnSetActive().
    void Activate();
    // Called by the sheet when another page is chosen. Returning false keeps
    // this page shown.
    virtual bool OnKillActive() { return true; }
    bool Initialised() const { return initialised_; }
    // Called when the sheet closes, before the link is closed.
    virtual void OnDestroyPage() {}

  protected:
    virtual void OnInitDialog() {}
    virtual void OnSetActive() {}

  private:
    QString caption_;
    bool initialised_ = false;
};

} // namespace vq
