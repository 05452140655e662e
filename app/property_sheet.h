// The tool's one window: a tabbed sheet of pages with the services through
// which pages act on each other.
#pragma once

#include "app/command_line.h"
#include "app/page_services.h"
#include "registers/rf/rf_page.h"
#include "txrx/txrx_page.h"

#include <QStringList>
#include <QWidget>
#include <vector>

class QPushButton;
class QTabWidget;

namespace vq {

class QAPage;

constexpr const char* kSheetTitle = "VQ9447 QA V1.0.6.0";

// The sheet's services reach the TX/RX page and RF page 1 among its pages.
using CSheetServices = PageServices<CTXRXPage, CRFPage>;

class CQAPropertySheet : public QWidget {
    Q_OBJECT
  public:
    // Constructs the built pages of these options, and the built unlisted pages
    // when VQ9447_UNLISTED_PAGES=1.
    explicit CQAPropertySheet(const CQACommandLineInfo& options, QWidget* parent = nullptr);
    // Hosts the given pages (tests).
    explicit CQAPropertySheet(const std::vector<QAPage*>& pages, QWidget* parent = nullptr);
    ~CQAPropertySheet() override;

    int PageCount() const;
    QAPage* Page(int index) const;
    QStringList Captions() const;
    QAPage* ActivePage() const;
    int ActiveIndex() const { return active_; }
    // Shows page `index` as if its tab had been clicked. False when the
    // shown page refused to be left.
    bool SetActivePage(int index);

    QTabWidget* Tabs() const { return tabs_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* ExitButton() const { return exit_; }
    bool Closed() const { return closed_; }

    // The services this sheet offers its pages (installed as Sheet() while it lives).
    CSheetServices& Services() { return services_; }
    // Closes the sheet from the event loop (a page may ask from inside its own handler).
    void CloseMainWindow();

    // Every page at its laid-out size, with the tabs and the button row.
    QSize sizeHint() const override;
    // Sized to the pages, but no larger than `available` (a screen's free
    // area), and placed on it; pages that do not fit scroll. Done on the
    // first showing for the sheet's screen.
    void FitTo(const QRect& available);
    void setVisible(bool visible) override;

  signals:
    void closed();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build(const std::vector<QAPage*>& pages);
    void OnCurrentChanged(int index);

    CSheetServices services_;
    std::vector<QAPage*> pages_; // in tab order, each inside its scroll area
    QTabWidget* tabs_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* exit_ = nullptr;
    int active_ = -1;
    bool shown_ = false;
    bool reverting_ = false;
    bool closed_ = false;
    bool fitted_ = false;
};

} // namespace vq
