// How Qt's events become the framework's messages: the state every window
// carries, the default handling of each message, sending and posting.
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QScreen>
#include <QStyle>
#include <QThread>

#include <map>
#include <mutex>
#include <vector>

#include "platform/ui/Interactive.h"
#include "platform/ui/qt/Window.h"

namespace sw::ui::qt {
namespace {

struct DefaultAction {
    const std::function<LRESULT()>* run;
    bool done;
    LRESULT result;
};
thread_local std::vector<DefaultAction> t_defaults;

}  // namespace

WindowBase* Base(QWidget* widget) {
    return dynamic_cast<WindowBase*>(widget);
}

WindowBase* Base(HWND hWnd) {
    return hWnd == nullptr ? nullptr : Base(ToWidget(hWnd));
}

void Bind(WindowBase* window, std::unique_ptr<CWnd> generic) {
    generic->m_hWnd = ToHandle(window->Widget());
    window->info.receiver = generic.get();
    window->info.generic = std::move(generic);
}

void Unbind(WindowBase* window) {
    window->info.timers.clear();
    CWnd* receiver = window->info.receiver;
    window->info.receiver = nullptr;
    if (receiver != nullptr && receiver != window->info.generic.get()) {
        receiver->m_hWnd = nullptr;
    }
    window->info.generic.reset();
}

QPoint ClientOrigin(const QWidget* widget) {
    return widget->contentsRect().topLeft();
}

QPoint ViewportOffset(const QWidget* widget) {
    if (const auto* area = qobject_cast<const QAbstractScrollArea*>(widget)) {
        return area->viewport()->pos() - ClientOrigin(widget);
    }
    return {};
}

void WithDefault(const std::function<void()>& platform, const std::function<void()>& handler) {
    WithDefault(std::function<LRESULT()>([&platform] {
                    platform();
                    return LRESULT{0};
                }),
                handler);
}

void WithDefault(const std::function<LRESULT()>& platform, const std::function<void()>& handler) {
    t_defaults.push_back({&platform, false, 0});
    try {
        handler();
    } catch (...) {
        t_defaults.pop_back();
        throw;
    }
    t_defaults.pop_back();
}

UINT VirtualKey(const QKeyEvent* event) {
    const int key = event->key();
    switch (key) {
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_F4:
            return VK_F4;
        default:
            break;
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return static_cast<UINT>(key);
    }
    return 0;
}

void NotifyParent(QWidget* widget, UINT code) {
    WindowBase* self = Base(widget);
    if (self == nullptr) {
        return;
    }
    QWidget* parent = widget->parentWidget();
    WindowBase* owner = parent == nullptr ? nullptr : Base(parent);
    if (owner == nullptr || owner->info.receiver == nullptr) {
        return;
    }
    owner->info.receiver->SendMessage(WM_COMMAND, MAKEWPARAM(self->info.id, code),
                                      reinterpret_cast<LPARAM>(ToHandle(widget)));
}

bool ModalLoopsSettled(int baseLevel) {
    int loops = baseLevel;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isModal()) {
            ++loops;
        }
    }
    if (QApplication::activePopupWidget() != nullptr) {
        ++loops;
    }
    return QThread::currentThread()->loopLevel() == loops;
}

void CancelTopWindow() {
    if (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    } else if (QWidget* modal = QApplication::activeModalWidget()) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(modal, &escape);
    }
}

}  // namespace sw::ui::qt

using sw::ui::qt::Base;
using sw::ui::qt::Q;
using sw::ui::qt::ToHandle;
using sw::ui::qt::ToWidget;
using sw::ui::qt::W;

int GetSystemMetrics(int nIndex) {
    if (!sw::ui::IsInteractive()) {
        return 0;
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    switch (nIndex) {
        case SM_CXSCREEN:
            return screen == nullptr ? 0 : screen->geometry().width();
        case SM_CYSCREEN:
            return screen == nullptr ? 0 : screen->geometry().height();
        case SM_CXVSCROLL:
            return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        default:
            return 0;
    }
}

UINT RegisterWindowMessage(LPCTSTR name) {
    static std::mutex mutex;
    static std::map<std::wstring, UINT> numbers;
    const std::lock_guard<std::mutex> lock(mutex);
    const std::wstring key = name == nullptr ? std::wstring() : std::wstring(name);
    const auto it = numbers.find(key);
    if (it != numbers.end()) {
        return it->second;
    }
    const UINT number = 0xC000U + static_cast<UINT>(numbers.size());
    numbers.emplace(key, number);
    return number;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    QWidget* widget = ToWidget(m_hWnd);
    sw::ui::qt::WithDefault(std::function<LRESULT()>([widget, message, wParam, lParam] {
                                return widget == nullptr
                                           ? LRESULT{0}
                                           : sw::ui::qt::PlatformMessage(widget, message, wParam, lParam);
                            }),
                            [&] { result = WindowProc(message, wParam, lParam); });
    return result;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    QWidget* widget = ToWidget(m_hWnd);
    if (widget == nullptr) {
        return FALSE;
    }
    QMetaObject::invokeMethod(
        widget,
        [widget, message, wParam, lParam] {
            sw::ui::qt::WindowBase* target = Base(widget);
            if (target != nullptr && target->info.receiver != nullptr) {
                target->info.receiver->SendMessage(message, wParam, lParam);
            }
        },
        Qt::QueuedConnection);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        return OnCommand(wParam, lParam);
    }
    return Default();
}

BOOL CWnd::OnCommand(WPARAM /*wParam*/, LPARAM /*lParam*/) {
    return FALSE;
}

void CWnd::PreSubclassWindow() {}

void CWnd::OnPaint() {
    Default();
}

void CWnd::DrawItem(LPDRAWITEMSTRUCT /*lpDrawItemStruct*/) {}

void CWnd::MeasureItem(LPMEASUREITEMSTRUCT /*lpMeasureItemStruct*/) {}

void CWnd::OnLButtonDown(UINT /*nFlags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnLButtonUp(UINT /*nFlags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnLButtonDblClk(UINT /*nFlags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnKeyDown(UINT /*nChar*/, UINT /*nRepCnt*/, UINT /*nFlags*/) {
    Default();
}

void CWnd::OnKeyUp(UINT /*nChar*/, UINT /*nRepCnt*/, UINT /*nFlags*/) {
    Default();
}

void CWnd::OnSysKeyDown(UINT /*nChar*/, UINT /*nRepCnt*/, UINT /*nFlags*/) {
    Default();
}

void CWnd::OnSetFocus(CWnd* /*pOldWnd*/) {
    Default();
}

void CWnd::OnKillFocus(CWnd* /*pNewWnd*/) {
    Default();
}

void CWnd::OnTimer(UINT_PTR /*nIDEvent*/) {}

void CWnd::OnDestroy() {}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    QWidget* widget = ToWidget(m_hWnd);
    return widget == nullptr ? 0 : sw::ui::qt::PlatformMessage(widget, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    auto& defaults = sw::ui::qt::t_defaults;
    if (defaults.empty()) {
        return 0;
    }
    const size_t top = defaults.size() - 1;
    if (!defaults[top].done) {
        defaults[top].done = true;
        const LRESULT result = (*defaults[top].run)();
        // The platform's handling may itself have sent messages.
        defaults[top].result = result;
    }
    return defaults[top].result;
}
