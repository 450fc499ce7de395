// Private to the Qt side of platform/ui: the widget behind each kind of
// template control, and making one from its template item.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTextEdit>

#include <vector>

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/qt/Window.h"

namespace sw::ui::qt {

// Dialog units of a font: the average character width and height.
struct DialogUnits {
    int baseX = 6;
    int baseY = 13;
    static DialogUnits Of(const QFont& font);
    int X(int units) const { return (units * baseX + 2) / 4; }
    int Y(int units) const { return (units * baseY + 4) / 8; }
};

class PushButton : public Hooked<QPushButton> {
public:
    explicit PushButton(QWidget* parent);

protected:
    void PlatformPaint(QPaintEvent* event) override;
};

class GroupBox : public Hooked<QGroupBox> {
public:
    using Hooked<QGroupBox>::Hooked;

protected:
    void PlatformPaint(QPaintEvent* event) override;
};

class ComboBox : public Hooked<QComboBox> {
public:
    explicit ComboBox(QWidget* parent);
    // Owner-drawn entries of variable height: measured and drawn by the
    // receiver.
    void SetOwnerDrawn();
    bool IsOwnerDrawn() const { return m_ownerDrawn; }
    // Measures one entry (or all) through the receiver's MeasureItem.
    void Measure(int row);
    void Remeasure();

    void showPopup() override;

protected:
    void PlatformFocusIn(QFocusEvent* event) override;
    void PlatformPaint(QPaintEvent* event) override;

private:
    bool m_ownerDrawn = false;
};

// Control widgets for one template item, with their platform objects.
QWidget* CreateControl(QWidget* dialog, const DialogItem& item, const DialogUnits& units);

// The widget of a window as a Qt class, null when it is another.
template <class T>
T* As(HWND hWnd) {
    return dynamic_cast<T*>(ToWidget(hWnd));
}

// Entries of a list widget carry their value in this role.
inline constexpr int kItemDataRole = Qt::UserRole + 1;

}  // namespace sw::ui::qt
