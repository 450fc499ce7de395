// CWnd's window operations on Qt widgets: attaching, creating and destroying,
// text, state, geometry, timers, fades and shapes.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QIcon>
#include <QPointer>
#include <QRegion>
#include <QScreen>
#include <QThread>

#include "platform/ui/Gdi.h"
#include "platform/ui/Interactive.h"
#include "platform/ui/UserInterface.h"
#include "platform/ui/qt/Gdi.h"
#include "platform/ui/qt/Window.h"

using sw::ui::qt::Base;
using sw::ui::qt::Q;
using sw::ui::qt::ToHandle;
using sw::ui::qt::ToWidget;
using sw::ui::qt::W;

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (m_hWnd == nullptr) {
        return;
    }
    if (m_bOwnsWindow) {
        DestroyWindow();
    } else {
        UnsubclassWindow();
    }
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    sw::ui::qt::WindowBase* window = Base(hWnd);
    return window == nullptr ? nullptr : window->info.receiver;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    sw::ui::qt::WindowBase* window = Base(hWnd);
    if (window == nullptr || m_hWnd != nullptr) {
        return FALSE;
    }
    if (window->info.receiver != nullptr && window->info.receiver != window->info.generic.get()) {
        return FALSE;  // someone else already handles it
    }
    m_hWnd = hWnd;
    window->info.receiver = this;
    PreSubclassWindow();
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    if (pParent == nullptr) {
        return FALSE;
    }
    CWnd* item = pParent->GetDlgItem(static_cast<int>(nID));
    return item == nullptr ? FALSE : SubclassWindow(item->m_hWnd);
}

HWND CWnd::UnsubclassWindow() {
    HWND hWnd = m_hWnd;
    sw::ui::qt::WindowBase* window = Base(hWnd);
    if (window != nullptr && window->info.receiver == this) {
        window->info.receiver = window->info.generic.get();
    }
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID) {
    if (!sw::ui::IsInteractive() || m_hWnd != nullptr) {
        return FALSE;
    }
    auto* widget = new sw::ui::qt::Hooked<QWidget>(nullptr);
    Qt::WindowFlags flags = Qt::Window;
    if ((dwStyle & WS_CAPTION) != WS_CAPTION) {
        flags |= Qt::FramelessWindowHint;
    }
    if ((dwExStyle & WS_EX_TOOLWINDOW) != 0) {
        flags |= Qt::Tool;
    }
    if ((dwExStyle & WS_EX_TOPMOST) != 0) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    widget->setWindowFlags(flags);
    if ((dwExStyle & WS_EX_LAYERED) != 0) {
        widget->setAttribute(Qt::WA_TranslucentBackground);
    }
    widget->setObjectName(Q(lpszClassName));
    widget->setWindowTitle(Q(lpszWindowName));
    widget->setGeometry(static_cast<int>(rect.left), static_cast<int>(rect.top),
                        static_cast<int>(rect.Width()), static_cast<int>(rect.Height()));
    widget->info.id = nID;
    widget->info.style = dwStyle;
    widget->info.exStyle = dwExStyle;
    widget->info.isTopLevel = true;
    (void)pParentWnd;  // top-level windows of their own; centring uses the parent explicitly
    widget->info.receiver = this;
    m_hWnd = ToHandle(widget);
    m_bOwnsWindow = true;
    if ((dwStyle & WS_VISIBLE) != 0) {
        widget->show();
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    QWidget* widget = ToWidget(m_hWnd);
    sw::ui::qt::WindowBase* window = Base(widget);
    if (window == nullptr) {
        return FALSE;
    }
    if (window->info.receiver == this) {
        OnDestroy();
    }
    window->info.timers.clear();
    widget->hide();
    sw::ui::qt::Unbind(window);
    m_hWnd = nullptr;
    m_bOwnsWindow = false;
    // The window may be handling one of its own messages right now.
    widget->deleteLater();
    return TRUE;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return nullptr;
    }
    for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        sw::ui::qt::WindowBase* window = Base(child);
        if (window != nullptr && window->info.id == static_cast<UINT>(nID)) {
            return window->info.receiver;
        }
    }
    return nullptr;
}

int CWnd::GetDlgCtrlID() const {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    return window == nullptr ? 0 : static_cast<int>(window->info.id);
}

CWnd* CWnd::GetParent() const {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr || widget->parentWidget() == nullptr) {
        return nullptr;
    }
    return FromHandle(ToHandle(widget->parentWidget()));
}

void CWnd::SetWindowText(LPCTSTR lpszString) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return;
    }
    sw::ui::qt::SetWidgetText(widget, Q(lpszString));
}

void CWnd::GetWindowText(CString& rString) const {
    QWidget* widget = ToWidget(m_hWnd);
    rString = widget == nullptr ? CString() : W(sw::ui::qt::WidgetText(widget));
}

int CWnd::GetWindowTextLength() const {
    CString text;
    GetWindowText(text);
    return static_cast<int>(text.size());
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return FALSE;
    }
    const bool wasDisabled = !widget->isEnabled();
    widget->setEnabled(bEnable != FALSE);
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    QWidget* widget = ToWidget(m_hWnd);
    return widget != nullptr && widget->isEnabled() ? TRUE : FALSE;
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return FALSE;
    }
    const bool wasVisible = !widget->isHidden();
    widget->setVisible(nCmdShow != SW_HIDE);
    if (nCmdShow != SW_HIDE && widget->isWindow()) {
        sw::ui::PumpWaitingMessages();
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
    QWidget* widget = ToWidget(m_hWnd);
    return widget != nullptr && widget->isVisible() ? TRUE : FALSE;
}

CWnd* CWnd::SetFocus() {
    CWnd* previous = GetFocus();
    if (QWidget* widget = ToWidget(m_hWnd)) {
        widget->setFocus(Qt::OtherFocusReason);
    }
    return previous;
}

CWnd* CWnd::GetFocus() {
    if (!sw::ui::IsInteractive()) {
        return nullptr;
    }
    QWidget* focus = QApplication::focusWidget();
    while (focus != nullptr && Base(focus) == nullptr) {
        focus = focus->parentWidget();
    }
    return focus == nullptr ? nullptr : FromHandle(ToHandle(focus));
}

BOOL CWnd::SetForegroundWindow() {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return FALSE;
    }
    widget->window()->raise();
    widget->window()->activateWindow();
    return TRUE;
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        lpRect->SetRectEmpty();
        return;
    }
    const QRect contents = widget->contentsRect();
    lpRect->SetRect(0, 0, contents.width(), contents.height());
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        lpRect->SetRectEmpty();
        return;
    }
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    lpRect->SetRect(origin.x(), origin.y(), origin.x() + widget->width(), origin.y() + widget->height());
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return;
    }
    const QPoint global =
        widget->mapToGlobal(QPoint(static_cast<int>(lpPoint->x), static_cast<int>(lpPoint->y)) +
                            sw::ui::qt::ClientOrigin(widget));
    lpPoint->x = global.x();
    lpPoint->y = global.y();
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return;
    }
    const QPoint local =
        widget->mapFromGlobal(QPoint(static_cast<int>(lpPoint->x), static_cast<int>(lpPoint->y))) -
        sw::ui::qt::ClientOrigin(widget);
    lpPoint->x = local.x();
    lpPoint->y = local.y();
}

BOOL CWnd::SetWindowPos(const CWnd* /*pWndInsertAfter*/, int x, int y, int cx, int cy, UINT nFlags) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return FALSE;
    }
    if ((nFlags & SWP_NOMOVE) == 0) {
        widget->move(x, y);
    }
    if ((nFlags & SWP_NOSIZE) == 0) {
        if (widget->isWindow()) {
            widget->setFixedSize(cx, cy);
            sw::ui::qt::HideCutOffChildren(widget);
        } else {
            widget->resize(cx, cy);
        }
    }
    return TRUE;
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL /*bRepaint*/) {
    SetWindowPos(nullptr, x, y, nWidth, nHeight, SWP_NOZORDER);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return;
    }
    QRect area;
    QWidget* owner = pAlternateOwner == nullptr ? nullptr : ToWidget(pAlternateOwner->m_hWnd);
    if (owner != nullptr && owner->isVisible()) {
        area = QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
    } else {
        const QScreen* screen =
            widget->screen() != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
        area = screen == nullptr ? QRect(0, 0, 1024, 768) : screen->availableGeometry();
    }
    const QSize size = widget->frameGeometry().size();
    widget->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void CWnd::Invalidate(BOOL /*bErase*/) {
    if (QWidget* widget = ToWidget(m_hWnd)) {
        widget->update();
        if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
            area->viewport()->update();
        }
    }
}

void CWnd::InvalidateRect(LPCRECT /*lpRect*/, BOOL bErase) {
    Invalidate(bErase);
}

void CWnd::UpdateWindow() {
    if (QWidget* widget = ToWidget(m_hWnd)) {
        widget->repaint();
    }
}

DWORD CWnd::GetStyle() const {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    if (window == nullptr) {
        return 0;
    }
    DWORD style = window->info.style;
    QWidget* widget = window->Widget();
    style = widget->isVisible() ? (style | WS_VISIBLE) : (style & ~WS_VISIBLE);
    style = widget->isEnabled() ? (style & ~WS_DISABLED) : (style | WS_DISABLED);
    return style;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT /*nFlags*/) {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    const DWORD before = window->info.style;
    window->info.style = (before & ~dwRemove) | dwAdd;
    window->Widget()->update();
    return before != window->info.style ? TRUE : FALSE;
}

CFont* CWnd::GetFont() const {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    if (window == nullptr) {
        return nullptr;
    }
    return window->info.font != nullptr ? window->info.font : CFont::GetDefaultGuiFont();
}

void CWnd::SetFont(CFont* pFont, BOOL /*bRedraw*/) {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    if (window == nullptr || pFont == nullptr || pFont->GetImpl() == nullptr) {
        return;
    }
    window->info.font = pFont;
    window->Widget()->setFont(sw::ui::qt::FontOf(pFont));
}

HICON CWnd::SetIcon(HICON hIcon, BOOL /*bBigIcon*/) {
    if (QWidget* widget = ToWidget(m_hWnd)) {
        widget->setWindowIcon(QIcon(QStringLiteral(":/icon/%1.svg").arg(hIcon)));
    }
    return 0;
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, void* /*lpfnTimer*/) {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    if (window == nullptr) {
        return 0;
    }
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(static_cast<int>(nElapse));
    QWidget* widget = window->Widget();
    QObject::connect(timer.get(), &QTimer::timeout, widget, [widget, nIDEvent] {
        sw::ui::qt::WindowBase* target = Base(widget);
        if (target != nullptr && target->info.receiver != nullptr) {
            sw::ui::qt::WithDefault([] {}, [&] { target->info.receiver->OnTimer(nIDEvent); });
        }
    });
    timer->start();
    window->info.timers[nIDEvent] = std::move(timer);
    return nIDEvent;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    const auto it = window->info.timers.find(nIDEvent);
    if (it == window->info.timers.end()) {
        return FALSE;
    }
    // A timer may be killed from its own timeout.
    it->second.release()->deleteLater();
    window->info.timers.erase(it);
    return TRUE;
}

BOOL CWnd::AnimateWindow(DWORD dwTime, DWORD dwFlags) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return FALSE;
    }
    const bool hide = (dwFlags & AW_HIDE) != 0;
    if ((dwFlags & AW_BLEND) == 0 || dwTime == 0) {
        widget->setVisible(!hide);
        return TRUE;
    }
    QPointer<QWidget> guard(widget);
    widget->setWindowOpacity(hide ? 1.0 : 0.0);
    if (!hide) {
        widget->show();
    }
    QElapsedTimer clock;
    clock.start();
    while (guard && clock.elapsed() < static_cast<qint64>(dwTime)) {
        const double done = static_cast<double>(clock.elapsed()) / static_cast<double>(dwTime);
        guard->setWindowOpacity(hide ? 1.0 - done : done);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(10);
    }
    if (!guard) {
        return FALSE;
    }
    guard->setWindowOpacity(1.0);
    if (hide) {
        guard->hide();
    }
    return TRUE;
}

int CWnd::SetWindowRgn(CRgn* pRgn, BOOL /*bRedraw*/) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return 0;
    }
    if (pRgn == nullptr || pRgn->GetImpl() == nullptr) {
        widget->clearMask();
    } else {
        widget->setMask(sw::ui::qt::RegionOf(pRgn));
    }
    return 1;
}

BOOL CWnd::EnableToolTips(BOOL bEnable) {
    sw::ui::qt::WindowBase* window = Base(m_hWnd);
    if (window == nullptr) {
        return FALSE;
    }
    window->info.toolTips = bEnable != FALSE;
    return TRUE;
}
