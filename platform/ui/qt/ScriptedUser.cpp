// A scripted user for end-to-end tests: SHEETWISE_UI_SCRIPT names a file of
// steps that act on the program's real windows as a person would, one step
// at a time, each waiting for its window.
//
//   wait TITLE            until a window with that title is open; later
//                         steps act on it
//   choose LABEL = ENTRY  picks ENTRY in the list or drop-down list LABEL
//   type LABEL = TEXT     replaces the text of the edit LABEL
//   check LABEL / uncheck LABEL
//   click BUTTON          presses the button with that text ("&" ignored)
//   menu BUTTON = ENTRY   opens the menu button and picks ENTRY
//   key NAME              Return, Escape, Space or Tab in the window
//
// A step that cannot be done within 30 s ends the script with a message on
// standard error, and from then on every window that waits for an answer is
// cancelled, so a broken script never leaves the program hanging.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>

#include "platform/ui/qt/Session.h"
#include "platform/ui/qt/Window.h"

namespace sw::ui::qt {
namespace {

constexpr int kStepTimeoutMs = 30000;

QString Plain(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

class ScriptedUser {
public:
    explicit ScriptedUser(QStringList steps) : m_steps(std::move(steps)) {
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start();
        m_deadline = QDeadlineTimer(kStepTimeoutMs);
    }

private:
    void Tick() {
        if (m_failed) {
            CancelTopWindow();
            return;
        }
        if (m_next >= m_steps.size()) {
            m_timer.stop();
            return;
        }
        if (!ModalLoopsSettled(0)) {
            return;
        }
        if (Try(m_steps[m_next])) {
            ++m_next;
            m_deadline = QDeadlineTimer(kStepTimeoutMs);
        } else if (m_deadline.hasExpired()) {
            std::fprintf(stderr, "SHEETWISE_UI_SCRIPT: step %lld (%s) could not be done\n",
                         static_cast<long long>(m_next + 1), m_steps[m_next].toLocal8Bit().constData());
            m_failed = true;
        }
    }

    // One step; false while it cannot be done yet.
    bool Try(const QString& step) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1).trimmed();
        const QString label = rest.section(QStringLiteral(" = "), 0, 0).trimmed();
        const QString value = rest.section(QStringLiteral(" = "), 1).trimmed();
        if (verb == QLatin1String("wait")) {
            return Wait(rest);
        }
        if (verb == QLatin1String("menu") && m_menuOpened) {
            return OpenMenu(label, value);
        }
        if (m_window.isNull() || !m_window->isVisible() || QApplication::activePopupWidget() != nullptr) {
            return false;
        }
        if (verb == QLatin1String("choose")) {
            return Choose(label, value);
        }
        if (verb == QLatin1String("type")) {
            auto* edit = qobject_cast<QLineEdit*>(Labelled(label));
            if (edit == nullptr) {
                return false;
            }
            edit->setFocus();
            edit->setText(value);
            return true;
        }
        if (verb == QLatin1String("check") || verb == QLatin1String("uncheck")) {
            auto* box = qobject_cast<QAbstractButton*>(Labelled(rest));
            if (box == nullptr || !box->isEnabled()) {
                return false;
            }
            if (box->isChecked() != (verb == QLatin1String("check"))) {
                Later([box = QPointer<QAbstractButton>(box)] {
                    if (box) {
                        box->click();
                    }
                });
            }
            return true;
        }
        if (verb == QLatin1String("click")) {
            QAbstractButton* button = ButtonNamed(rest);
            if (button == nullptr || !button->isEnabled()) {
                return false;
            }
            Later([button = QPointer<QAbstractButton>(button)] {
                if (button) {
                    button->click();
                }
            });
            return true;
        }
        if (verb == QLatin1String("menu")) {
            return OpenMenu(label, value);
        }
        if (verb == QLatin1String("key")) {
            const Qt::Key key = rest == QLatin1String("Return")   ? Qt::Key_Return
                                : rest == QLatin1String("Escape") ? Qt::Key_Escape
                                : rest == QLatin1String("Space")  ? Qt::Key_Space
                                                                  : Qt::Key_Tab;
            QWidget* target =
                QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : m_window.data();
            Later([target = QPointer<QWidget>(target), key] {
                if (target) {
                    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
                    QCoreApplication::sendEvent(target, &press);
                    if (target) {
                        QCoreApplication::sendEvent(target, &release);
                    }
                }
            });
            return true;
        }
        std::fprintf(stderr, "SHEETWISE_UI_SCRIPT: unknown step %s\n", step.toLocal8Bit().constData());
        m_failed = true;
        return false;
    }

    bool Wait(const QString& title) {
        // A menu still open belongs to the step before.
        if (QApplication::activePopupWidget() != nullptr) {
            return false;
        }
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowTitle() == title) {
                m_window = window;
                return true;
            }
        }
        return false;
    }

    // The control a label names (its buddy), or the one carrying that name.
    QWidget* Labelled(const QString& label) const {
        for (QLabel* candidate : m_window->findChildren<QLabel*>()) {
            if (candidate->isVisible() && Plain(candidate->text()) == label &&
                candidate->buddy() != nullptr) {
                return candidate->buddy();
            }
        }
        for (QWidget* candidate : m_window->findChildren<QWidget*>()) {
            if (candidate->isVisible() && candidate->accessibleName() == label) {
                return candidate;
            }
        }
        return nullptr;
    }

    QAbstractButton* ButtonNamed(const QString& text) const {
        for (QAbstractButton* button : m_window->findChildren<QAbstractButton*>()) {
            if (button->isVisible() && Plain(button->text()) == text) {
                return button;
            }
        }
        return nullptr;
    }

    bool Choose(const QString& label, const QString& entry) {
        QWidget* control = Labelled(label);
        if (auto* combo = qobject_cast<QComboBox*>(control)) {
            const int row = combo->findText(entry, Qt::MatchFixedString);
            if (row < 0 || !combo->isEnabled()) {
                return false;
            }
            Later([combo = QPointer<QComboBox>(combo), row] {
                if (combo) {
                    combo->setFocus();
                    combo->setCurrentIndex(row);
                    emit combo->activated(row);
                }
            });
            return true;
        }
        if (auto* list = qobject_cast<QListWidget*>(control)) {
            const QList<QListWidgetItem*> found = list->findItems(entry, Qt::MatchFixedString);
            if (found.isEmpty() || !list->isEnabled()) {
                return false;
            }
            list->setCurrentItem(found.first());
            return true;
        }
        return false;
    }

    bool OpenMenu(const QString& buttonText, const QString& entry) {
        if (!m_menuOpened) {
            QAbstractButton* button = ButtonNamed(buttonText);
            if (button == nullptr || !button->isEnabled()) {
                return false;
            }
            m_menuOpened = true;
            Later([button = QPointer<QAbstractButton>(button)] {
                if (button) {
                    const QPointF centre = QRectF(button->rect()).center();
                    QMouseEvent press(QEvent::MouseButtonPress, centre, button->mapToGlobal(centre),
                                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                    QCoreApplication::sendEvent(button, &press);
                }
            });
            return false;
        }
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) {
            return false;
        }
        for (QAction* action : menu->actions()) {
            if (Plain(action->text()) == entry && action->isEnabled()) {
                m_menuOpened = false;
                menu->setActiveAction(action);
                Later([menu = QPointer<QMenu>(menu)] {
                    if (menu) {
                        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                        QCoreApplication::sendEvent(menu, &press);
                    }
                });
                return true;
            }
        }
        return false;
    }

    // Acts after the timer's turn, so that a window the action opens runs
    // its own loop while the script goes on.
    static void Later(std::function<void()> action) { QTimer::singleShot(0, qApp, std::move(action)); }

    QStringList m_steps;
    qsizetype m_next = 0;
    QTimer m_timer;
    QDeadlineTimer m_deadline;
    QPointer<QWidget> m_window;
    bool m_menuOpened = false;
    bool m_failed = false;
};

std::unique_ptr<ScriptedUser> g_user;

}  // namespace

void StartScriptedUser() {
    const QString path = qEnvironmentVariable("SHEETWISE_UI_SCRIPT");
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "SHEETWISE_UI_SCRIPT: cannot read %s\n", path.toLocal8Bit().constData());
        return;
    }
    QStringList steps;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
            steps << line;
        }
    }
    g_user = std::make_unique<ScriptedUser>(steps);
}

void StopScriptedUser() {
    g_user.reset();
}

}  // namespace sw::ui::qt
