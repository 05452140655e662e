#include "app/property_sheet.h"

#include "app/artwork.h"
#include "app/page_list.h"
#include "ui/qa_page.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace vq {

CQAPropertySheet::CQAPropertySheet(const CQACommandLineInfo& options, QWidget* parent) : QWidget(parent) {
    // The services lead here from the pages' construction on.
    SetSheet(&services_);
    Build(CreateSheetPages(options, UnlistedPagesRequested()));
}

CQAPropertySheet::CQAPropertySheet(const std::vector<QAPage*>& pages, QWidget* parent) : QWidget(parent) {
    SetSheet(&services_);
    Build(pages);
}

CQAPropertySheet::~CQAPropertySheet() {
    // Pages go while the services still lead to this sheet.
    disconnect(tabs_, nullptr, this, nullptr);
    while (tabs_->count() > 0) {
        QWidget* holder = tabs_->widget(0);
        QAPage* page = pages_.front();
        pages_.erase(pages_.begin());
        tabs_->removeTab(0);
        if (page == services_.txrx) services_.txrx = nullptr;
        if (page == services_.rf) services_.rf = nullptr;
        delete holder; // the page with it
    }
    if (&Sheet() == &services_) SetSheet(nullptr);
}

void CQAPropertySheet::Build(const std::vector<QAPage*>& pages) {
    setWindowTitle(QString::fromLatin1(kSheetTitle));
    setWindowIcon(ApplicationIcon());

    tabs_ = new QTabWidget(this);
    tabs_->setUsesScrollButtons(true);
    for (QAPage* page : pages) {
        // A page keeps its laid-out size; on a smaller screen it scrolls
        // inside the sheet rather than being cut off.
        auto* holder = new QScrollArea;
        holder->setFrameShape(QFrame::NoFrame);
        holder->setWidgetResizable(true);
        holder->setWidget(page);
        pages_.push_back(page);
        tabs_->addTab(holder, page->Caption());
        if (auto* txrx = dynamic_cast<CTXRXPage*>(page)) services_.txrx = txrx;
        if (auto* rf = dynamic_cast<CRFPage*>(page)) services_.rf = rf;
    }
    services_.closeMainWindow = [this] { CloseMainWindow(); };

    // The sheet keeps an OK button for keyboard defaults but never shows it;
    // there is no Apply, and Cancel is the way out.
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->hide();
    exit_ = new QPushButton(QStringLiteral("Exit"), this);
    connect(exit_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(exit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);

    active_ = tabs_->count() > 0 ? 0 : -1;
    connect(tabs_, &QTabWidget::currentChanged, this, &CQAPropertySheet::OnCurrentChanged);
}

int CQAPropertySheet::PageCount() const {
    return tabs_->count();
}

QAPage* CQAPropertySheet::Page(int index) const {
    return index >= 0 && index < int(pages_.size()) ? pages_[std::size_t(index)] : nullptr;
}

QSize CQAPropertySheet::sizeHint() const {
    // Every page at its own size, the tab bar and the button row.
    QSize pages(0, 0);
    for (QAPage* page : pages_)
        pages = pages.expandedTo(page->sizeHint());
    const int frame = 2 * tabs_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tabs_) + 4;
    const QMargins m = layout()->contentsMargins();
    const int spacing = layout()->spacing() > 0 ? layout()->spacing() : 6;
    return {pages.width() + frame + m.left() + m.right(),
            pages.height() + frame + tabs_->tabBar()->sizeHint().height() + spacing +
                exit_->sizeHint().height() + m.top() + m.bottom()};
}

void CQAPropertySheet::FitTo(const QRect& available) {
    // The window frame takes a little more than the client area; before the
    // window is first shown its frame is not known, so room is kept for a
    // usual title bar and border.
    QSize frame = frameGeometry().size() - geometry().size();
    if (!isVisible() && frame.width() <= 0 && frame.height() <= 0) frame = QSize(16, 40);
    const QSize room = (available.size() - frame).expandedTo(QSize(0, 0));
    const QSize size = sizeHint().boundedTo(room);
    resize(size);
    QRect placed(QPoint(0, 0), size + frame);
    placed.moveCenter(available.center());
    if (placed.top() < available.top()) placed.moveTop(available.top());
    if (placed.left() < available.left()) placed.moveLeft(available.left());
    move(placed.topLeft());
}

QStringList CQAPropertySheet::Captions() const {
    QStringList out;
    for (int i = 0; i < tabs_->count(); ++i)
        out << tabs_->tabText(i);
    return out;
}

QAPage* CQAPropertySheet::ActivePage() const {
    return active_ >= 0 ? Page(active_) : nullptr;
}

bool CQAPropertySheet::SetActivePage(int index) {
    if (index < 0 || index >= tabs_->count()) return false;
    tabs_->setCurrentIndex(index);
    return active_ == index;
}

void CQAPropertySheet::OnCurrentChanged(int index) {
    if (reverting_ || index == active_) return;
    if (!shown_) {
        // Nothing is active before the first showing; that showing activates.
        active_ = index;
        return;
    }
    if (QAPage* old = ActivePage(); old && !old->OnKillActive()) {
        reverting_ = true;
        tabs_->setCurrentIndex(active_);
        reverting_ = false;
        return;
    }
    active_ = index;
    if (QAPage* page = ActivePage()) page->Activate();
}

void CQAPropertySheet::setVisible(bool visible) {
    if (visible && !fitted_) {
        fitted_ = true;
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen) FitTo(screen->availableGeometry());
    }
    QWidget::setVisible(visible);
}

void CQAPropertySheet::keyPressEvent(QKeyEvent* event) {
    // Escape is the sheet's Cancel button, "Exit".
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        exit_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CQAPropertySheet::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_ || event->spontaneous()) return;
    shown_ = true;
    if (QAPage* page = ActivePage()) page->Activate();
}

void CQAPropertySheet::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        for (int i = 0; i < tabs_->count(); ++i)
            if (QAPage* page = Page(i)) page->OnDestroyPage();
        emit closed();
    }
    event->accept();
}

void CQAPropertySheet::CloseMainWindow() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

} // namespace vq
