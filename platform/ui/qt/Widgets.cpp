// The widgets behind the template controls, made from template items.
#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

#include "platform/ui/Controls.h"
#include "platform/ui/Gdi.h"
#include "platform/ui/ListCtrl.h"
#include "platform/ui/qt/Gdi.h"
#include "platform/ui/qt/ListView.h"
#include "platform/ui/qt/Widgets.h"

namespace sw::ui::qt {
namespace {

DRAWITEMSTRUCT DrawRecord(WindowBase* window, UINT type, UINT item, UINT state, CDC& dc, const QRect& rect,
                          ULONG_PTR itemData) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = type;
    dis.CtlID = window->info.id;
    dis.itemID = item;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = ToHandle(window->Widget());
    dis.hDC = dc.m_hDC;
    dis.rcItem.SetRect(rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1);
    dis.itemData = itemData;
    return dis;
}

ULONG_PTR ItemData(const QComboBox* combo, int row) {
    return static_cast<ULONG_PTR>(combo->itemData(row, kItemDataRole).toULongLong());
}

// Entries of an owner-drawn list: measured and drawn by the receiver.
class OwnerDrawDelegate : public QAbstractItemDelegate {
public:
    explicit OwnerDrawDelegate(ComboBox* combo) : QAbstractItemDelegate(combo), m_combo(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        CWnd* receiver = m_combo->info.receiver;
        if (receiver == nullptr) {
            return;
        }
        painter->save();
        CDC dc;
        AttachPainter(&dc, painter, QPoint());
        UINT state = 0;
        if ((option.state & QStyle::State_Selected) != 0) {
            state |= ODS_SELECTED;
        }
        if ((option.state & QStyle::State_HasFocus) != 0) {
            state |= ODS_FOCUS;
        }
        DRAWITEMSTRUCT dis = DrawRecord(m_combo, ODT_COMBOBOX, static_cast<UINT>(index.row()), state, dc,
                                        option.rect, ItemData(m_combo, index.row()));
        WithDefault([] {}, [&] { receiver->DrawItem(&dis); });
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QVariant stored = index.data(Qt::SizeHintRole);
        if (stored.isValid()) {
            return stored.toSize();
        }
        return {option.rect.width(), QFontMetrics(m_combo->font()).height() + 4};
    }

private:
    ComboBox* m_combo;
};

Qt::Alignment StaticAlignment(DWORD style) {
    Qt::Alignment align = (style & SS_CENTER) != 0 ? Qt::AlignHCenter : Qt::AlignLeft;
    align |= (style & SS_CENTERIMAGE) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
    return align;
}

}  // namespace

DialogUnits DialogUnits::Of(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.baseX = std::max(1, (width / 26 + 1) / 2);
    units.baseY = std::max(1, metrics.height());
    return units;
}

PushButton::PushButton(QWidget* parent) : Hooked<QPushButton>(parent) {
    connect(this, &QAbstractButton::clicked, this, [this] { NotifyParent(this, BN_CLICKED); });
    connect(this, &QAbstractButton::pressed, this, [this] {
        if (info.receiver != nullptr) {
            info.receiver->SendMessage(BM_SETSTATE, TRUE);
        }
    });
    connect(this, &QAbstractButton::released, this, [this] {
        if (info.receiver != nullptr) {
            info.receiver->SendMessage(BM_SETSTATE, FALSE);
        }
    });
}

void PushButton::PlatformPaint(QPaintEvent* event) {
    if ((info.style & BS_TYPEMASK) != BS_OWNERDRAW) {
        Hooked::PlatformPaint(event);
        return;
    }
    CWnd* receiver = info.receiver;
    if (receiver == nullptr) {
        return;
    }
    QPainter painter(this);
    CDC dc;
    AttachPainter(&dc, &painter, QPoint());
    UINT state = 0;
    if (isDown()) {
        state |= ODS_SELECTED;
    }
    if (hasFocus()) {
        state |= ODS_FOCUS;
    }
    if (!isEnabled()) {
        state |= ODS_DISABLED;
    }
    if (isDefault()) {
        state |= ODS_DEFAULT;
    }
    DRAWITEMSTRUCT dis = DrawRecord(this, ODT_BUTTON, 0, state, dc, rect(), 0);
    WithDefault([] {}, [&] { receiver->DrawItem(&dis); });
}

ComboBox::ComboBox(QWidget* parent) : Hooked<QComboBox>(parent) {
    connect(this, qOverload<int>(&QComboBox::activated), this, [this] { NotifyParent(this, CBN_SELCHANGE); });
}

void ComboBox::SetOwnerDrawn() {
    m_ownerDrawn = true;
    view()->setItemDelegate(new OwnerDrawDelegate(this));
}

void ComboBox::Measure(int row) {
    CWnd* receiver = info.receiver;
    if (receiver == nullptr || !m_ownerDrawn) {
        return;
    }
    MEASUREITEMSTRUCT mis;
    mis.CtlType = ODT_COMBOBOX;
    mis.CtlID = info.id;
    mis.itemID = static_cast<UINT>(row);
    mis.itemData = ItemData(this, row);
    WithDefault([] {}, [&] { receiver->MeasureItem(&mis); });
    if (mis.itemHeight > 0) {
        setItemData(row, QSize(static_cast<int>(mis.itemWidth), static_cast<int>(mis.itemHeight)),
                    Qt::SizeHintRole);
    }
}

void ComboBox::Remeasure() {
    for (int row = 0; row < count(); ++row) {
        Measure(row);
    }
}

void ComboBox::showPopup() {
    if (auto* combo = dynamic_cast<CComboBox*>(info.receiver)) {
        WithDefault([] {}, [combo] { combo->OnDropDown(); });
    }
    QComboBox::showPopup();
}

void ComboBox::PlatformFocusIn(QFocusEvent* event) {
    NotifyParent(this, CBN_SETFOCUS);
    Hooked::PlatformFocusIn(event);
}

void ComboBox::PlatformPaint(QPaintEvent* event) {
    if (!m_ownerDrawn) {
        Hooked::PlatformPaint(event);
        return;
    }
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    CWnd* receiver = info.receiver;
    if (receiver == nullptr) {
        return;
    }
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    painter.setClipRect(field);
    CDC dc;
    AttachPainter(&dc, &painter, QPoint());
    UINT state = ODS_COMBOBOXEDIT;
    if (hasFocus()) {
        state |= ODS_FOCUS;
    }
    if (!isEnabled()) {
        state |= ODS_DISABLED;
    }
    const int row = currentIndex();
    DRAWITEMSTRUCT dis =
        DrawRecord(this, ODT_COMBOBOX, row < 0 ? static_cast<UINT>(-1) : static_cast<UINT>(row), state, dc,
                   field, row < 0 ? 0 : ItemData(this, row));
    WithDefault([] {}, [&] { receiver->DrawItem(&dis); });
}

void GroupBox::PlatformPaint(QPaintEvent* /*event*/) {
    // The frame runs through the middle of the title, as templates expect:
    // their controls start just below the title's line.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics = fontMetrics();
    const QRectF frame = QRectF(rect()).adjusted(0.5, metrics.height() / 2 + 0.5, -0.5, -0.5);
    painter.setPen(palette().color(QPalette::Mid));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 2.0, 2.0);
    if (title().isEmpty()) {
        return;
    }
    const int margin = metrics.averageCharWidth();
    const QRect text(margin, 0, metrics.horizontalAdvance(title()) + margin, metrics.height());
    painter.fillRect(text, palette().window());
    style()->drawItemText(&painter, text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, palette(),
                          isEnabled(), title(), QPalette::WindowText);
}

QWidget* CreateControl(QWidget* dialog, const DialogItem& item, const DialogUnits& units) {
    QWidget* widget = nullptr;
    WindowBase* window = nullptr;
    std::unique_ptr<CWnd> generic;
    switch (item.kind) {
        case ControlKind::Button: {
            const DWORD type = item.style & BS_TYPEMASK;
            if (type == BS_AUTOCHECKBOX) {
                auto* box = new Hooked<QCheckBox>(dialog);
                box->setText(Q(item.text));
                QObject::connect(box, &QAbstractButton::clicked, box,
                                 [box] { NotifyParent(box, BN_CLICKED); });
                widget = box;
                window = box;
            } else if (type == BS_GROUPBOX) {
                auto* group = new GroupBox(dialog);
                group->setTitle(Q(item.text));
                group->setFocusPolicy(Qt::NoFocus);
                widget = group;
                window = group;
            } else {
                auto* button = new PushButton(dialog);
                button->setText(Q(item.text));
                button->setDefault(type == BS_DEFPUSHBUTTON);
                // Enter stays with the default button while an owner-drawn
                // button has the focus.
                button->setAutoDefault(type != BS_OWNERDRAW);
                widget = button;
                window = button;
            }
            generic = std::make_unique<CButton>();
            break;
        }
        case ControlKind::Edit: {
            auto* edit = new Hooked<QLineEdit>(dialog);
            edit->setReadOnly((item.style & ES_READONLY) != 0);
            if ((item.style & ES_NUMBER) != 0) {
                edit->setValidator(
                    new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            }
            widget = edit;
            window = edit;
            generic = std::make_unique<CEdit>();
            break;
        }
        case ControlKind::RichEdit: {
            auto* text = new Hooked<QTextEdit>(dialog);
            text->setAcceptRichText(false);
            text->setReadOnly((item.style & ES_READONLY) != 0);
            text->setTabChangesFocus(true);
            text->setLineWrapMode(QTextEdit::WidgetWidth);
            // Tab stops half an inch apart, as the system's rich edit has them.
            text->setTabStopDistance(text->logicalDpiX() / 2.0);
            text->setVerticalScrollBarPolicy((item.style & WS_VSCROLL) != 0 ? Qt::ScrollBarAsNeeded
                                                                            : Qt::ScrollBarAlwaysOff);
            text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            widget = text;
            window = text;
            generic = std::make_unique<CEdit>();
            break;
        }
        case ControlKind::Static: {
            auto* label = new Hooked<QLabel>(dialog);
            label->setText(Q(item.text));
            label->setAlignment(StaticAlignment(item.style));
            label->setWordWrap(item.cy >= 16);
            widget = label;
            window = label;
            generic = std::make_unique<CStatic>();
            break;
        }
        case ControlKind::ComboBox: {
            auto* combo = new ComboBox(dialog);
            if ((item.style & CBS_OWNERDRAWVARIABLE) != 0) {
                combo->SetOwnerDrawn();
            }
            widget = combo;
            window = combo;
            generic = std::make_unique<CComboBox>();
            break;
        }
        case ControlKind::ListBox: {
            auto* list = new Hooked<QListWidget>(dialog);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            QObject::connect(list, &QListWidget::itemSelectionChanged, list,
                             [list] { NotifyParent(list, LBN_SELCHANGE); });
            widget = list;
            window = list;
            generic = std::make_unique<CListBox>();
            break;
        }
        case ControlKind::ListView: {
            auto* view = new ListView(dialog);
            widget = view;
            window = view;
            generic = std::make_unique<CListCtrl>();
            break;
        }
        case ControlKind::Progress: {
            auto* bar = new Hooked<QProgressBar>(dialog);
            bar->setRange(0, 100);
            bar->setValue(0);
            bar->setTextVisible(false);
            widget = bar;
            window = bar;
            generic = std::make_unique<CProgressCtrl>();
            break;
        }
    }
    window->info.id = item.id;
    window->info.style = item.style;
    window->info.kind = item.kind;
    Bind(window, std::move(generic));
    if ((item.style & WS_TABSTOP) == 0 && item.kind != ControlKind::Static) {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
    widget->setGeometry(units.X(item.x), units.Y(item.y), units.X(item.cx), units.Y(item.cy));
    widget->setEnabled((item.style & WS_DISABLED) == 0);
    return widget;
}

QString WidgetText(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        return group->title();
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        return combo->currentText();
    }
    if (const auto* text = qobject_cast<const QTextEdit*>(widget)) {
        return text->toPlainText();
    }
    return widget->isWindow() ? widget->windowTitle() : QString();
}

void SetWidgetText(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
        edit->setCursorPosition(0);
    } else if (auto* box = qobject_cast<QTextEdit*>(widget)) {
        box->setPlainText(text);
    } else if (widget->isWindow()) {
        widget->setWindowTitle(text);
    }
}

LRESULT PlatformMessage(QWidget* widget, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    WindowBase* window = Base(widget);
    auto* button = qobject_cast<QPushButton*>(widget);
    switch (message) {
        case BM_SETSTATE:
            if (auto* any = qobject_cast<QAbstractButton*>(widget)) {
                any->setDown(wParam != 0);
                any->update();
            }
            return 0;
        case BM_SETSTYLE:
            if (window != nullptr) {
                window->info.style = (window->info.style & ~0xFFFFU) | static_cast<DWORD>(wParam & 0xFFFFU);
                if (button != nullptr && (wParam & BS_TYPEMASK) != BS_OWNERDRAW) {
                    button->setDefault((wParam & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
                }
                widget->update();
            }
            return 0;
        case WM_GETDLGCODE:
            if (button != nullptr) {
                return static_cast<LRESULT>(
                    DLGC_BUTTON | (button->isDefault() ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON));
            }
            return 0;
        default:
            return 0;
    }
}

}  // namespace sw::ui::qt
