// Message boxes as Qt windows.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include <vector>

#include "platform/ui/Interactive.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/qt/Session.h"

namespace sw::ui::qt {
namespace {

struct Button {
    QMessageBox::StandardButton standard;
    int answer;
};

std::vector<Button> ButtonsOf(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        case MB_ABORTRETRYIGNORE:
            return {{QMessageBox::Abort, IDABORT},
                    {QMessageBox::Retry, IDRETRY},
                    {QMessageBox::Ignore, IDIGNORE}};
        case MB_YESNOCANCEL:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        case MB_YESNO:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        case MB_RETRYCANCEL:
            return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
        default:
            return {{QMessageBox::Ok, IDOK}};
    }
}

// The icon; without one, the framework's choice: a warning for OK boxes, a
// question for Yes/No boxes.
QMessageBox::Icon IconOf(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONSTOP:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            break;
    }
    switch (type & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            return QMessageBox::Warning;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return QMessageBox::Question;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int ShowMessageBox(const std::wstring& text, UINT type) {
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr) {
        parent = QApplication::activeWindow();
    }
    QMessageBox box(parent);
    box.setWindowTitle(QString::fromStdWString(MessageBoxCaption()));
    box.setTextFormat(Qt::PlainText);
    box.setText(QString::fromStdWString(text));
    box.setIcon(IconOf(type));
    const std::vector<Button> buttons = ButtonsOf(type);
    std::vector<QPushButton*> made;
    for (const Button& button : buttons) {
        made.push_back(box.addButton(button.standard));
    }
    const size_t first = ((type & 0x0300U) >> 8U) < made.size() ? ((type & 0x0300U) >> 8U) : 0;
    box.setDefaultButton(made[first]);
    // A question asked in the middle of long work is answered with the
    // arrow, not under the hourglass.
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    box.exec();
    if (waiting) {
        QApplication::restoreOverrideCursor();
    }
    for (size_t i = 0; i < made.size(); ++i) {
        if (box.clickedButton() == made[i]) {
            return buttons[i].answer;
        }
    }
    return SafeDefaultAnswer(type);
}

}  // namespace sw::ui::qt
