#include "platform/ui/tests/UiDriver.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/ui/UserInterface.h"
#include "platform/ui/qt/Window.h"

namespace sw::ui::testing {
namespace {

QString Plain(QString text) {
    text.remove(QLatin1Char('&'));
    return text;
}

}  // namespace

// Closes the windowing side before the test program ends.
class UiEnvironment : public ::testing::Environment {
public:
    void TearDown() override { EndUserInterface(); }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new UiEnvironment);

void StartUi() {
    ASSERT_TRUE(StartUserInterface(L"Sheetwise File Parser", false)) << "no offscreen platform";
}

std::string Narrow(const QString& text) {
    return text.toStdString();
}

UiDriver& UiDriver::Then(Step step) {
    m_steps.push_back(std::move(step));
    return *this;
}

void UiDriver::Run(const std::function<void()>& body) {
    QTimer timer;
    QDeadlineTimer deadline(10000);
    const int baseLevel = QThread::currentThread()->loopLevel();
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (m_failed) {
            qt::CancelTopWindow();
            return;
        }
        if (m_busy || m_next >= m_steps.size()) {
            return;
        }
        if (!qt::ModalLoopsSettled(baseLevel)) {
            if (deadline.hasExpired()) {
                ADD_FAILURE() << "UI step " << m_next + 1 << " waited in vain for the windows to settle";
                m_failed = true;
            }
            return;
        }
        m_busy = true;
        const bool done = m_steps[m_next]();
        m_busy = false;
        if (done) {
            ++m_next;
            deadline = QDeadlineTimer(10000);
        } else if (deadline.hasExpired()) {
            ADD_FAILURE() << "UI step " << m_next + 1 << " of " << m_steps.size() << " not done in time";
            m_failed = true;
        }
    });
    timer.start(15);
    body();
    // Steps after the windows closed (checks of the result) run here.
    while (!m_failed && m_next < m_steps.size() && !deadline.hasExpired()) {
        QTest::qWait(15);
    }
    timer.stop();
    EXPECT_EQ(Remaining(), 0U) << "steps left undone";
}

QWidget* Window(const QString& title) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == title) {
            return window;
        }
    }
    return nullptr;
}

QMessageBox* OpenMessageBox() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(window); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

QWidget* Labelled(QWidget* window, const QString& label) {
    if (window == nullptr) {
        return nullptr;
    }
    for (QLabel* candidate : window->findChildren<QLabel*>()) {
        if (Plain(candidate->text()) == label && candidate->buddy() != nullptr) {
            return candidate->buddy();
        }
    }
    return nullptr;
}

QAbstractButton* Button(QWidget* window, const QString& text) {
    if (window == nullptr) {
        return nullptr;
    }
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (Plain(button->text()) == text) {
            return button;
        }
    }
    return nullptr;
}

QWidget* Control(QWidget* window, unsigned id) {
    if (window == nullptr) {
        return nullptr;
    }
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* base = sw::ui::qt::Base(child);
        if (base != nullptr && base->info.id == id) {
            return child;
        }
    }
    return nullptr;
}

void Later(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

void Click(QWidget* widget) {
    Later([target = QPointer<QWidget>(widget)] {
        if (target) {
            QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->rect().center());
        }
    });
}

void ClickAt(QWidget* widget, QPoint point) {
    Later([target = QPointer<QWidget>(widget), point] {
        if (target) {
            QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, point);
        }
    });
}

void Key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
    Later([target = QPointer<QWidget>(widget), key, modifiers] {
        if (target) {
            QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
        }
    });
}

void Type(QWidget* edit, const QString& text) {
    auto* line = qobject_cast<QLineEdit*>(edit);
    if (line == nullptr) {
        ADD_FAILURE() << "not an edit";
        return;
    }
    line->setFocus();
    line->selectAll();
    QTest::keyClicks(line, text);
    if (text.isEmpty()) {
        QTest::keyClick(line, Qt::Key_Delete);
    }
}

void Paste(QWidget* edit, const QString& text) {
    auto* line = qobject_cast<QLineEdit*>(edit);
    if (line == nullptr) {
        ADD_FAILURE() << "not an edit";
        return;
    }
    line->setFocus();
    line->setText(text);
}

void Choose(QComboBox* combo, const QString& entry) {
    if (combo == nullptr) {
        ADD_FAILURE() << "no such list";
        return;
    }
    const int row = combo->findText(entry, Qt::MatchFixedString);
    if (row < 0) {
        ADD_FAILURE() << "no entry " << Narrow(entry);
        return;
    }
    Later([target = QPointer<QComboBox>(combo), row] {
        if (target) {
            target->setFocus();
            target->setCurrentIndex(row);
            emit target->activated(row);
        }
    });
}

UiDriver::Step Answer(const QString& text, QMessageBox::StandardButton button, QString* seen) {
    return [text, button, seen] {
        QMessageBox* box = OpenMessageBox();
        if (box == nullptr) {
            return false;
        }
        if (seen != nullptr) {
            *seen = box->text();
        }
        EXPECT_EQ(Narrow(box->text()), Narrow(text));
        EXPECT_EQ(Narrow(box->windowTitle()), "Sheetwise File Parser");
        QAbstractButton* target = box->button(button);
        if (target == nullptr) {
            ADD_FAILURE() << "message box without the button";
            target = box->buttons().value(0);
        }
        Later([target = QPointer<QAbstractButton>(target)] {
            if (target) {
                target->click();
            }
        });
        return true;
    };
}

UiDriver::Step ClickSplashAway() {
    return [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("SplashScreenExClass") && window->isVisible()) {
                Click(window);
                return true;
            }
        }
        return false;
    };
}

}  // namespace sw::ui::testing
