// Drives the real windows from a test. Code under test that opens a modal
// window waits in that window's loop; the steps given to a UiDriver run
// meanwhile from a timer, one after another, each retried until it reports
// that it is done (its window is there, its action is posted). Actions are
// posted, never run inside a step, so a window they open runs its own loop
// while the steps go on.
#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace sw::ui::testing {

// Starts the windowing side once per test process (offscreen in CTest).
void StartUi();

class UiDriver {
public:
    using Step = std::function<bool()>;

    UiDriver& Then(Step step);
    // Runs body (which opens the windows) while the steps run; a step not
    // done within 10 s fails the test and every open window is cancelled.
    void Run(const std::function<void()>& body);
    // Steps that were never done.
    size_t Remaining() const { return m_steps.size() - m_next; }

private:
    void Tick();

    std::vector<Step> m_steps;
    size_t m_next = 0;
    bool m_busy = false;
    bool m_failed = false;
};

// The visible top-level window with that title, or null.
QWidget* Window(const QString& title);
// The open message box, or null.
QMessageBox* OpenMessageBox();
// The control a dialog's label names (the label's buddy), or null.
QWidget* Labelled(QWidget* window, const QString& label);
// The button of a window with that text ("&" ignored), or null.
QAbstractButton* Button(QWidget* window, const QString& text);
// The dialog's control with that identifier, or null.
QWidget* Control(QWidget* window, unsigned id);

// Posted user actions.
void Later(std::function<void()> action);
void Click(QWidget* widget);
void ClickAt(QWidget* widget, QPoint point);
void Key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Replaces the edit's text key by key, or at once as a paste would.
void Type(QWidget* edit, const QString& text);
void Paste(QWidget* edit, const QString& text);
void Choose(QComboBox* combo, const QString& entry);

// A step: answers the open message box with `button` when its text is
// `text`, recording what it said.
UiDriver::Step Answer(const QString& text, QMessageBox::StandardButton button, QString* seen = nullptr);
// A step: closes the splash window by a click as soon as it shows.
UiDriver::Step ClickSplashAway();

std::string Narrow(const QString& text);

}  // namespace sw::ui::testing
