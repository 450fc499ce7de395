// Dialogs from templates on QDialog, and the dialog data exchange.
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include <cerrno>
#include <climits>
#include <cwctype>
#include <string>

#include "platform/ui/Controls.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Interactive.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/UserInterface.h"
#include "platform/ui/qt/Widgets.h"

namespace sw::ui::qt {
namespace {

// The dialog window: Enter and Escape go to the dialog as the framework's
// dialog manager sends them, and closing it is Cancel.
class DialogWidget : public Hooked<QDialog> {
public:
    using Hooked<QDialog>::Hooked;
    DialogUnits units;
    bool frameless = false;

    void reject() override { Command(IDCANCEL); }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            for (QPushButton* button : findChildren<QPushButton*>(Qt::FindDirectChildrenOnly)) {
                if (button->isDefault() && button->isVisible()) {
                    if (button->isEnabled()) {
                        button->click();
                    }
                    return;
                }
            }
            Command(IDOK);
            return;
        }
        if (plain && event->key() == Qt::Key_Escape) {
            Command(IDCANCEL);
            return;
        }
        Hooked<QDialog>::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        Command(IDCANCEL);
    }
    void PlatformPaint(QPaintEvent* event) override {
        QDialog::paintEvent(event);
        if (frameless) {
            QPainter painter(this);
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }

private:
    void Command(int id) {
        if (info.receiver != nullptr) {
            info.receiver->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), BN_CLICKED), 0);
        }
    }
};

DialogWidget* DialogOf(HWND hWnd) {
    return dynamic_cast<DialogWidget*>(ToWidget(hWnd));
}

QString WithoutMnemonic(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// A label names the control after it: its mnemonic moves there (and
// clicks a check box), and the control carries the label as its name.
void ConnectLabels(const DialogTemplate& dialogTemplate, const std::vector<QWidget*>& widgets) {
    for (size_t i = 0; i < dialogTemplate.items.size(); ++i) {
        if (dialogTemplate.items[i].kind != ControlKind::Static) {
            continue;
        }
        auto* label = qobject_cast<QLabel*>(widgets[i]);
        for (size_t j = i + 1; j < dialogTemplate.items.size(); ++j) {
            const DialogItem& next = dialogTemplate.items[j];
            if (next.kind == ControlKind::Static) {
                break;
            }
            if ((next.style & WS_TABSTOP) == 0) {
                continue;
            }
            label->setBuddy(widgets[j]);
            widgets[j]->setAccessibleName(WithoutMnemonic(label->text()));
            break;
        }
    }
}

}  // namespace

void HideCutOffChildren(QWidget* window) {
    const QRect client = window->rect();
    for (QWidget* child : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (Base(child) == nullptr) {
            continue;
        }
        child->setVisible(client.contains(child->geometry()));
    }
}

}  // namespace sw::ui::qt

using sw::ui::qt::Base;
using sw::ui::qt::DialogOf;
using sw::ui::qt::Q;
using sw::ui::qt::ToHandle;
using sw::ui::qt::ToWidget;

CDialog::CDialog(const sw::ui::DialogTemplate& dialogTemplate, CWnd* pParentWnd)
    : m_pParentWnd(pParentWnd), m_template(dialogTemplate) {}

CDialog::~CDialog() = default;

bool CDialog::CreateWindowFromTemplate(CWnd* pParentWnd, bool bModal) {
    if (!sw::ui::IsInteractive() || m_hWnd != nullptr) {
        return false;
    }
    QWidget* parent = pParentWnd == nullptr ? nullptr : ToWidget(pParentWnd->m_hWnd);
    auto* dialog = new sw::ui::qt::DialogWidget(parent);
    Qt::WindowFlags flags = parent == nullptr ? Qt::Window : Qt::Dialog;
    if ((m_template.style & WS_CAPTION) == WS_CAPTION) {
        flags |= Qt::WindowTitleHint | Qt::CustomizeWindowHint;
        if ((m_template.style & WS_SYSMENU) != 0) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        }
    } else {
        flags |= Qt::FramelessWindowHint;
        dialog->frameless = true;
    }
    dialog->setWindowFlags(flags);
    dialog->setModal(bModal);
    dialog->setWindowTitle(Q(m_template.caption));
    dialog->setObjectName(QStringLiteral("dialog%1").arg(m_template.id));
    dialog->units = sw::ui::qt::DialogUnits::Of(dialog->font());
    dialog->info.id = m_template.id;
    dialog->info.style = m_template.style;
    dialog->info.exStyle = m_template.exStyle;
    dialog->info.isTopLevel = true;
    dialog->info.receiver = this;
    m_hWnd = ToHandle(dialog);
    m_bOwnsWindow = true;

    std::vector<QWidget*> widgets;
    widgets.reserve(m_template.items.size());
    for (const auto& item : m_template.items) {
        widgets.push_back(sw::ui::qt::CreateControl(dialog, item, dialog->units));
    }
    sw::ui::qt::ConnectLabels(m_template, widgets);
    dialog->setFixedSize(dialog->units.X(m_template.cx), dialog->units.Y(m_template.cy));
    if (parent == nullptr || (m_template.style & DS_CENTER) != 0) {
        CenterWindow(pParentWnd);
    }
    return true;
}

INT_PTR CDialog::DoModal() {
    if (!CreateWindowFromTemplate(m_pParentWnd, true)) {
        return IDCANCEL;
    }
    bool focusFirst = true;
    DialogOf(m_hWnd)->setResult(-1);
    sw::ui::qt::WithDefault([] {}, [&] { focusFirst = OnInitDialog() != FALSE; });
    INT_PTR result = IDCANCEL;
    if (auto* dialog = DialogOf(m_hWnd)) {
        if (dialog->result() != -1) {
            result = dialog->result();  // ended while it started
        } else {
            if (focusFirst) {
                dialog->nextInFocusChain()->setFocus(Qt::TabFocusReason);
            }
            result = dialog->exec();
        }
    }
    if (QWidget* widget = ToWidget(m_hWnd)) {
        OnDestroy();
        m_bOwnsWindow = false;
        delete widget;  // lets go of every control attached to it
        m_hWnd = nullptr;
    }
    return result;
}

BOOL CDialog::Create(CWnd* pParentWnd) {
    if (!CreateWindowFromTemplate(pParentWnd, false)) {
        return FALSE;
    }
    DialogOf(m_hWnd)->setResult(-1);
    sw::ui::qt::WithDefault([] {}, [&] { OnInitDialog(); });
    if ((m_template.style & WS_VISIBLE) != 0 && m_hWnd != nullptr) {
        ShowWindow(SW_SHOW);
    }
    return m_hWnd != nullptr ? TRUE : FALSE;
}

void CDialog::EndDialog(int nResult) {
    auto* dialog = DialogOf(m_hWnd);
    if (dialog == nullptr) {
        return;
    }
    if (dialog->isVisible()) {
        dialog->done(nResult);
    } else {
        dialog->setResult(nResult);
    }
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    CDataExchange exchange(this, bSaveAndValidate);
    try {
        DoDataExchange(&exchange);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

void CDialog::MapDialogRect(LPRECT lpRect) const {
    const auto* dialog = DialogOf(m_hWnd);
    const sw::ui::qt::DialogUnits units = dialog == nullptr ? sw::ui::qt::DialogUnits() : dialog->units;
    lpRect->SetRect(units.X(static_cast<int>(lpRect->left)), units.Y(static_cast<int>(lpRect->top)),
                    units.X(static_cast<int>(lpRect->right)), units.Y(static_cast<int>(lpRect->bottom)));
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
    if (pWndCtrl == nullptr) {
        return;
    }
    pWndCtrl->SetFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(ToWidget(pWndCtrl->m_hWnd))) {
        edit->selectAll();
    }
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) {
        return;
    }
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM /*lParam*/) {
    if (HIWORD(wParam) != BN_CLICKED) {
        return FALSE;
    }
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            return FALSE;
    }
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}
