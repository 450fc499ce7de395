// The standard controls on Qt widgets.
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

// Measures one entry of an owner-drawn list through its receiver.
void Measure(ComboBox* combo, int row) {
    CWnd* receiver = combo->info.receiver;
    if (receiver == nullptr || !combo->IsOwnerDrawn()) {
        return;
    }
    MEASUREITEMSTRUCT mis;
    mis.CtlType = ODT_COMBOBOX;
    mis.CtlID = combo->info.id;
    mis.itemID = static_cast<UINT>(row);
    mis.itemData = ItemData(combo, row);
    WithDefault([] {}, [&] { receiver->MeasureItem(&mis); });
    if (mis.itemHeight > 0) {
        combo->setItemData(row, QSize(static_cast<int>(mis.itemWidth), static_cast<int>(mis.itemHeight)),
                           Qt::SizeHintRole);
    }
}

Qt::Alignment StaticAlignment(DWORD style) {
    Qt::Alignment align = (style & SS_CENTER) != 0 ? Qt::AlignHCenter : Qt::AlignLeft;
    align |= (style & SS_CENTERIMAGE) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
    return align;
}

template <class T>
T* As(HWND hWnd) {
    return dynamic_cast<T*>(ToWidget(hWnd));
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
        QPushButton::paintEvent(event);
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

void ComboBox::Remeasure() {
    for (int row = 0; row < count(); ++row) {
        Measure(this, row);
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
    QComboBox::focusInEvent(event);
}

void ComboBox::PlatformPaint(QPaintEvent* event) {
    if (!m_ownerDrawn) {
        QComboBox::paintEvent(event);
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

using sw::ui::qt::As;
using sw::ui::qt::kItemDataRole;
using sw::ui::qt::Q;
using sw::ui::qt::W;

// CButton

int CButton::GetCheck() const {
    const auto* box = As<QCheckBox>(m_hWnd);
    return box != nullptr && box->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck) {
    if (auto* box = As<QCheckBox>(m_hWnd)) {
        box->setChecked(nCheck != BST_UNCHECKED);
    }
}

UINT CButton::GetState() const {
    const auto* button = As<QAbstractButton>(m_hWnd);
    if (button == nullptr) {
        return 0;
    }
    UINT state = static_cast<UINT>(GetCheck());
    if (button->isDown()) {
        state |= BST_PUSHED;
    }
    if (button->hasFocus()) {
        state |= BST_FOCUS;
    }
    return state;
}

void CButton::SetState(BOOL bHighlight) {
    SendMessage(BM_SETSTATE, bHighlight != FALSE ? 1 : 0);
}

UINT CButton::GetButtonStyle() const {
    return GetStyle() & 0xFFFFU;
}

void CButton::SetButtonStyle(UINT nStyle, BOOL bRedraw) {
    SendMessage(BM_SETSTYLE, nStyle, bRedraw);
}

// CEdit

BOOL CEdit::SetReadOnly(BOOL bReadOnly) {
    auto* edit = As<QLineEdit>(m_hWnd);
    if (edit == nullptr) {
        return FALSE;
    }
    edit->setReadOnly(bReadOnly != FALSE);
    if (sw::ui::qt::WindowBase* window = sw::ui::qt::Base(m_hWnd)) {
        window->info.style =
            bReadOnly != FALSE ? (window->info.style | ES_READONLY) : (window->info.style & ~ES_READONLY);
    }
    return TRUE;
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL /*bNoScroll*/) {
    auto* edit = As<QLineEdit>(m_hWnd);
    if (edit == nullptr) {
        return;
    }
    const int length = static_cast<int>(edit->text().size());
    const int end = nEndChar < 0 ? length : std::min(nEndChar, length);
    const int start = std::clamp(nStartChar, 0, length);
    if (nStartChar < 0) {
        edit->deselect();
        return;
    }
    edit->setSelection(start, end - start);
}

// CComboBox

int CComboBox::GetCount() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo == nullptr ? CB_ERR : combo->count();
}

int CComboBox::GetCurSel() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo == nullptr ? CB_ERR : combo->currentIndex();
}

int CComboBox::SetCurSel(int nSelect) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr) {
        return CB_ERR;
    }
    if (nSelect < 0 || nSelect >= combo->count()) {
        combo->setCurrentIndex(-1);
        return CB_ERR;
    }
    combo->setCurrentIndex(nSelect);
    return nSelect;
}

int CComboBox::AddString(LPCTSTR lpszString) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr) {
        return CB_ERR;
    }
    int position = combo->count();
    if ((GetStyle() & CBS_SORT) != 0) {
        const QString text = Q(lpszString);
        position = 0;
        while (position < combo->count() &&
               QString::compare(combo->itemText(position), text, Qt::CaseInsensitive) <= 0) {
            ++position;
        }
    }
    return InsertString(position, lpszString);
}

int CComboBox::InsertString(int nIndex, LPCTSTR lpszString) {
    auto* combo = dynamic_cast<sw::ui::qt::ComboBox*>(sw::ui::qt::ToWidget(m_hWnd));
    if (combo == nullptr) {
        return CB_ERR;
    }
    const int position = nIndex < 0 || nIndex > combo->count() ? combo->count() : nIndex;
    const int selected = combo->currentIndex();
    combo->insertItem(position, Q(lpszString));
    combo->setItemData(position, QVariant::fromValue<qulonglong>(0), kItemDataRole);
    // Inserting never chooses an entry, as on Windows.
    combo->setCurrentIndex(selected < 0 ? -1 : (selected >= position ? selected + 1 : selected));
    sw::ui::qt::Measure(combo, position);
    return position;
}

int CComboBox::DeleteString(UINT nIndex) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || static_cast<int>(nIndex) >= combo->count()) {
        return CB_ERR;
    }
    combo->removeItem(static_cast<int>(nIndex));
    return combo->count();
}

void CComboBox::ResetContent() {
    if (auto* combo = As<QComboBox>(m_hWnd)) {
        combo->clear();
    }
}

int CComboBox::GetLBText(int nIndex, CString& rString) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        rString.clear();
        return CB_ERR;
    }
    rString = W(combo->itemText(nIndex));
    return static_cast<int>(rString.size());
}

int CComboBox::GetLBTextLen(int nIndex) const {
    CString text;
    return GetLBText(nIndex, text);
}

int CComboBox::SetItemData(int nIndex, ULONG_PTR dwItemData) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        return CB_ERR;
    }
    combo->setItemData(nIndex, QVariant::fromValue<qulonglong>(dwItemData), kItemDataRole);
    return 0;
}

ULONG_PTR CComboBox::GetItemData(int nIndex) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        return static_cast<ULONG_PTR>(CB_ERR);
    }
    return static_cast<ULONG_PTR>(combo->itemData(nIndex, kItemDataRole).toULongLong());
}

int CComboBox::SetItemDataPtr(int nIndex, void* pData) {
    return SetItemData(nIndex, reinterpret_cast<ULONG_PTR>(pData));
}

void* CComboBox::GetItemDataPtr(int nIndex) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || nIndex < 0 || nIndex >= combo->count()) {
        return reinterpret_cast<void*>(static_cast<LONG_PTR>(CB_ERR));
    }
    return reinterpret_cast<void*>(GetItemData(nIndex));
}

int CComboBox::FindString(int nStartAfter, LPCTSTR lpszString) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || combo->count() == 0) {
        return CB_ERR;
    }
    const QString prefix = Q(lpszString);
    const int count = combo->count();
    const int first = nStartAfter < 0 || nStartAfter >= count ? 0 : nStartAfter + 1;
    // The search runs to the end and goes on from the top, as on Windows.
    for (int step = 0; step < count; ++step) {
        const int row = (first + step) % count;
        if (combo->itemText(row).startsWith(prefix, Qt::CaseInsensitive)) {
            return row;
        }
    }
    return CB_ERR;
}

int CComboBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
    const auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr || combo->count() == 0) {
        return CB_ERR;
    }
    const QString text = Q(lpszFind);
    const int count = combo->count();
    const int first = nIndexStart < 0 || nIndexStart >= count ? 0 : nIndexStart + 1;
    for (int step = 0; step < count; ++step) {
        const int row = (first + step) % count;
        if (QString::compare(combo->itemText(row), text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return CB_ERR;
}

int CComboBox::SelectString(int nStartAfter, LPCTSTR lpszString) {
    const int row = FindString(nStartAfter, lpszString);
    if (row != CB_ERR) {
        SetCurSel(row);
    }
    return row;
}

int CComboBox::GetDroppedWidth() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo == nullptr ? CB_ERR : std::max(combo->width(), combo->view()->minimumWidth());
}

int CComboBox::SetDroppedWidth(UINT nWidth) {
    auto* combo = As<QComboBox>(m_hWnd);
    if (combo == nullptr) {
        return CB_ERR;
    }
    combo->view()->setMinimumWidth(static_cast<int>(nWidth));
    return static_cast<int>(nWidth);
}

BOOL CComboBox::GetDroppedState() const {
    const auto* combo = As<QComboBox>(m_hWnd);
    return combo != nullptr && combo->view()->isVisible() ? TRUE : FALSE;
}

void CComboBox::RemeasureItems() {
    if (auto* combo = dynamic_cast<sw::ui::qt::ComboBox*>(sw::ui::qt::ToWidget(m_hWnd))) {
        combo->Remeasure();
    }
}

void CComboBox::OnDropDown() {}

// CListBox

int CListBox::GetCount() const {
    const auto* list = As<QListWidget>(m_hWnd);
    return list == nullptr ? LB_ERR : list->count();
}

int CListBox::GetCurSel() const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr) {
        return LB_ERR;
    }
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? LB_ERR : list->row(selected.first());
}

int CListBox::SetCurSel(int nSelect) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr) {
        return LB_ERR;
    }
    const QSignalBlocker quiet(list);
    if (nSelect < 0 || nSelect >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
        list->viewport()->update();
        return nSelect == -1 ? 0 : LB_ERR;
    }
    list->setCurrentRow(nSelect, QItemSelectionModel::ClearAndSelect);
    list->viewport()->update();
    return nSelect;
}

int CListBox::AddString(LPCTSTR lpszItem) {
    return InsertString(-1, lpszItem);
}

int CListBox::InsertString(int nIndex, LPCTSTR lpszItem) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr) {
        return LB_ERR;
    }
    const QSignalBlocker quiet(list);
    const int position = nIndex < 0 || nIndex > list->count() ? list->count() : nIndex;
    auto* item = new QListWidgetItem(Q(lpszItem));
    item->setData(kItemDataRole, QVariant::fromValue<qulonglong>(0));
    list->insertItem(position, item);
    return position;
}

int CListBox::DeleteString(UINT nIndex) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || static_cast<int>(nIndex) >= list->count()) {
        return LB_ERR;
    }
    const QSignalBlocker quiet(list);
    const bool wasSelected = list->item(static_cast<int>(nIndex))->isSelected();
    delete list->takeItem(static_cast<int>(nIndex));
    if (wasSelected) {
        // As on Windows: the list is left without a selection.
        list->clearSelection();
        list->setCurrentRow(-1);
    }
    return list->count();
}

void CListBox::ResetContent() {
    if (auto* list = As<QListWidget>(m_hWnd)) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
}

int CListBox::GetText(int nIndex, CString& rString) const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || nIndex < 0 || nIndex >= list->count()) {
        rString.clear();
        return LB_ERR;
    }
    rString = W(list->item(nIndex)->text());
    return static_cast<int>(rString.size());
}

int CListBox::SetItemDataPtr(int nIndex, void* pData) {
    auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || nIndex < 0 || nIndex >= list->count()) {
        return LB_ERR;
    }
    list->item(nIndex)->setData(kItemDataRole,
                                QVariant::fromValue<qulonglong>(reinterpret_cast<ULONG_PTR>(pData)));
    return 0;
}

void* CListBox::GetItemDataPtr(int nIndex) const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || nIndex < 0 || nIndex >= list->count()) {
        return reinterpret_cast<void*>(static_cast<LONG_PTR>(LB_ERR));
    }
    return reinterpret_cast<void*>(
        static_cast<ULONG_PTR>(list->item(nIndex)->data(kItemDataRole).toULongLong()));
}

int CListBox::FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
    const auto* list = As<QListWidget>(m_hWnd);
    if (list == nullptr || list->count() == 0) {
        return LB_ERR;
    }
    const QString text = Q(lpszFind);
    const int count = list->count();
    const int first = nIndexStart < 0 || nIndexStart >= count ? 0 : nIndexStart + 1;
    for (int step = 0; step < count; ++step) {
        const int row = (first + step) % count;
        if (QString::compare(list->item(row)->text(), text, Qt::CaseInsensitive) == 0) {
            return row;
        }
    }
    return LB_ERR;
}

// CProgressCtrl

void CProgressCtrl::SetRange(short nLower, short nUpper) {
    if (auto* bar = As<QProgressBar>(m_hWnd)) {
        bar->setRange(nLower, nUpper);
    }
}

int CProgressCtrl::SetPos(int nPos) {
    auto* bar = As<QProgressBar>(m_hWnd);
    if (bar == nullptr) {
        return 0;
    }
    const int previous = bar->value();
    bar->setValue(std::clamp(nPos, bar->minimum(), bar->maximum()));
    return previous;
}

int CProgressCtrl::GetPos() const {
    const auto* bar = As<QProgressBar>(m_hWnd);
    return bar == nullptr ? 0 : bar->value();
}

int CProgressCtrl::OffsetPos(int nPos) {
    return SetPos(GetPos() + nPos);
}
