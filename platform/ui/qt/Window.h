// Private to the Qt side of platform/ui: the state every window carries and
// the widget template that turns Qt's events into the framework's messages.
#pragma once

#include <QAbstractScrollArea>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Wnd.h"

class CFont;
class CImageList;

namespace sw::ui::qt {

inline QString Q(const std::wstring& text) {
    return QString::fromStdWString(text);
}
inline QString Q(LPCTSTR text) {
    return text == nullptr ? QString() : QString::fromWCharArray(text);
}
inline std::wstring W(const QString& text) {
    return text.toStdWString();
}

// What the platform keeps for every window it made.
struct WindowData {
    UINT id = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    ControlKind kind = ControlKind::Static;
    bool isTopLevel = false;
    // The object that receives the window's messages, and the platform's own
    // object for it (receiver until something subclasses the window).
    CWnd* receiver = nullptr;
    std::unique_ptr<CWnd> generic;
    std::map<UINT_PTR, std::unique_ptr<QTimer>> timers;
    CFont* font = nullptr;
    CImageList* headerImages = nullptr;
    DWORD listExStyle = 0;
    bool toolTips = false;
    // Set while the window paints, so contexts made for it can draw.
    bool painting = false;
};

// The mixin every widget of the platform carries.
class WindowBase {
public:
    virtual ~WindowBase() = default;
    virtual QWidget* Widget() = 0;
    WindowData info;
};

inline QWidget* ToWidget(HWND hWnd) {
    return reinterpret_cast<QWidget*>(hWnd);
}
inline HWND ToHandle(QWidget* widget) {
    return reinterpret_cast<HWND>(widget);
}
WindowBase* Base(HWND hWnd);
WindowBase* Base(QWidget* widget);

// Records the platform's own object for a new window and makes it the
// receiver.
void Bind(WindowBase* window, std::unique_ptr<CWnd> generic);
// The window is going: whoever was attached to it lets go.
void Unbind(WindowBase* window);

// The client area's origin in widget coordinates, and where a scroll area's
// viewport sits relative to it (the header of a list lies above it).
QPoint ClientOrigin(const QWidget* widget);
QPoint ViewportOffset(const QWidget* widget);

// Runs `handler` with `platform` as what Default() runs (at most once).
void WithDefault(const std::function<LRESULT()>& platform, const std::function<void()>& handler);
void WithDefault(const std::function<void()>& platform, const std::function<void()>& handler);

// The platform's handling of a message sent to a window by number.
LRESULT PlatformMessage(QWidget* widget, UINT message, WPARAM wParam, LPARAM lParam);

// A control's text as the framework sees it (a label's or button's with its
// "&"), and setting it.
QString WidgetText(const QWidget* widget);
void SetWidgetText(QWidget* widget, const QString& text);

// After a dialog changed size: children the window's edge would cut are
// hidden, the others shown again.
void HideCutOffChildren(QWidget* window);

// The framework's key code of a Qt key, 0 for keys it has no code for.
UINT VirtualKey(const QKeyEvent* event);

// Sends a notification to the window's parent: WM_COMMAND with the window's
// identifier and `code`.
void NotifyParent(QWidget* widget, UINT code);

// Whether every window that runs a loop of its own is open and nothing else
// runs one (besides the `baseLevel` loops of the caller): a window that just
// closed has left its loop, and the code that opened it has gone on. Scripted
// users and tests wait for this before their next step.
bool ModalLoopsSettled(int baseLevel);
// Closes the open pop-up, else answers the active modal window with Escape.
void CancelTopWindow();

// Turns a widget's events into messages for its receiver.
template <class QtBase>
class Hooked : public QtBase, public WindowBase {
public:
    template <class... Args>
    explicit Hooked(Args&&... args) : QtBase(std::forward<Args>(args)...) {}
    Hooked(const Hooked&) = delete;
    Hooked& operator=(const Hooked&) = delete;
    ~Hooked() override { Unbind(this); }
    QWidget* Widget() override { return this; }

protected:
    static constexpr bool kScrolls = std::is_base_of_v<QAbstractScrollArea, QtBase>;

    CPoint ClientPoint(const QPoint& pos) const {
        QPoint p = pos - ClientOrigin(this);
        if constexpr (kScrolls) {
            p += ViewportOffset(this);
        }
        return {p.x(), p.y()};
    }
    // The platform's painting of this widget, run by the receiver's Default().
    virtual void PlatformPaint(QPaintEvent* event) { QtBase::paintEvent(event); }

    void paintEvent(QPaintEvent* event) override {
        if (info.receiver == nullptr) {
            PlatformPaint(event);
            return;
        }
        info.painting = true;
        CWnd* receiver = info.receiver;
        WithDefault([&] { PlatformPaint(event); }, [&] { receiver->OnPaint(); });
        info.painting = false;
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (info.receiver == nullptr || event->button() != Qt::LeftButton) {
            QtBase::mousePressEvent(event);
            return;
        }
        CWnd* receiver = info.receiver;
        const CPoint point = ClientPoint(event->position().toPoint());
        WithDefault([&] { QtBase::mousePressEvent(event); },
                    [&] { receiver->OnLButtonDown(MK_LBUTTON, point); });
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (info.receiver == nullptr || event->button() != Qt::LeftButton) {
            QtBase::mouseDoubleClickEvent(event);
            return;
        }
        CWnd* receiver = info.receiver;
        const CPoint point = ClientPoint(event->position().toPoint());
        WithDefault([&] { QtBase::mouseDoubleClickEvent(event); },
                    [&] { receiver->OnLButtonDblClk(MK_LBUTTON, point); });
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (info.receiver == nullptr || event->button() != Qt::LeftButton) {
            QtBase::mouseReleaseEvent(event);
            return;
        }
        CWnd* receiver = info.receiver;
        const CPoint point = ClientPoint(event->position().toPoint());
        WithDefault([&] { QtBase::mouseReleaseEvent(event); }, [&] { receiver->OnLButtonUp(0, point); });
    }
    void keyPressEvent(QKeyEvent* event) override {
        const UINT key = VirtualKey(event);
        if (info.receiver == nullptr || key == 0) {
            QtBase::keyPressEvent(event);
            return;
        }
        CWnd* receiver = info.receiver;
        const UINT repeat = event->isAutoRepeat() ? 2 : 1;
        if ((event->modifiers() & Qt::AltModifier) != 0) {
            WithDefault([&] { QtBase::keyPressEvent(event); },
                        [&] { receiver->OnSysKeyDown(key, repeat, 0x2000U); });
        } else {
            WithDefault([&] { QtBase::keyPressEvent(event); }, [&] { receiver->OnKeyDown(key, repeat, 0); });
        }
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        const UINT key = VirtualKey(event);
        if (info.receiver == nullptr || key == 0 || (event->modifiers() & Qt::AltModifier) != 0) {
            QtBase::keyReleaseEvent(event);
            return;
        }
        CWnd* receiver = info.receiver;
        WithDefault([&] { QtBase::keyReleaseEvent(event); }, [&] { receiver->OnKeyUp(key, 1, 0); });
    }
    void focusInEvent(QFocusEvent* event) override {
        if (info.receiver == nullptr) {
            QtBase::focusInEvent(event);
            return;
        }
        CWnd* receiver = info.receiver;
        WithDefault([&] { PlatformFocusIn(event); }, [&] { receiver->OnSetFocus(nullptr); });
    }
    void focusOutEvent(QFocusEvent* event) override {
        if (info.receiver == nullptr) {
            QtBase::focusOutEvent(event);
            return;
        }
        CWnd* receiver = info.receiver;
        WithDefault([&] { QtBase::focusOutEvent(event); }, [&] { receiver->OnKillFocus(nullptr); });
    }
    virtual void PlatformFocusIn(QFocusEvent* event) { QtBase::focusInEvent(event); }
};

}  // namespace sw::ui::qt
