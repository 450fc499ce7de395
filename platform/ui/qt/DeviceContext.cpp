// Device contexts on QPainter: drawing while a window paints, measuring
// text at any time.
#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>
#include <utility>

#include "platform/ui/Wnd.h"
#include "platform/ui/qt/Gdi.h"
#include "platform/ui/qt/Window.h"

namespace sw::ui::qt {

void AttachPainter(CDC* dc, QPainter* painter, QPoint clientOffset) {
    CDC::Impl* impl = dc->GetImpl();
    impl->painter = painter;
    impl->clientOffset = clientOffset;
    painter->translate(clientOffset);
    painter->setFont(impl->font);
}

QPainter* PainterOf(const CDC* dc) {
    return dc->GetImpl()->painter;
}

namespace {

// Starts a context on the window's client area when the window paints.
void BeginClientPainting(CDC* dc, CWnd* wnd, bool measureOutsidePaint) {
    WindowBase* window = Base(wnd == nullptr ? nullptr : wnd->m_hWnd);
    if (window == nullptr) {
        return;
    }
    QWidget* widget = window->Widget();
    dc->GetImpl()->font = widget->font();
    dc->GetImpl()->textColor = FromColor(widget->palette().color(QPalette::WindowText));
    dc->GetImpl()->bkColor = FromColor(widget->palette().color(QPalette::Window));
    if (!window->info.painting) {
        (void)measureOutsidePaint;
        return;
    }
    QWidget* target = widget;
    QPoint offset = ClientOrigin(widget);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget)) {
        target = area->viewport();
        offset = -ViewportOffset(widget);
    }
    dc->GetImpl()->ownedPainter = std::make_unique<QPainter>(target);
    AttachPainter(dc, dc->GetImpl()->ownedPainter.get(), offset);
}

Qt::Alignment AlignmentOf(UINT nFormat) {
    Qt::Alignment align = Qt::AlignLeft;
    if ((nFormat & DT_CENTER) != 0) {
        align = Qt::AlignHCenter;
    } else if ((nFormat & DT_RIGHT) != 0) {
        align = Qt::AlignRight;
    }
    if ((nFormat & DT_SINGLELINE) != 0 && (nFormat & DT_VCENTER) != 0) {
        align |= Qt::AlignVCenter;
    } else {
        align |= Qt::AlignTop;
    }
    return align;
}

}  // namespace
}  // namespace sw::ui::qt

using sw::ui::qt::FromColor;
using sw::ui::qt::Q;
using sw::ui::qt::ToColor;

// CDC

CDC::CDC() : m_impl(std::make_unique<Impl>()) {
    m_hDC = reinterpret_cast<HDC>(this);
    m_impl->font = sw::ui::qt::FontOf(nullptr);
    m_impl->textColor = GetSysColor(COLOR_WINDOWTEXT);
    m_impl->bkColor = GetSysColor(COLOR_WINDOW);
}

CDC::~CDC() {
    if (m_impl->ownedPainter) {
        m_impl->ownedPainter->end();
    }
}

CDC* CDC::FromHandle(HDC hDC) {
    return reinterpret_cast<CDC*>(hDC);
}

BOOL CDC::CreateCompatibleDC(CDC* /*pDC*/) {
    return TRUE;
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    return std::exchange(m_impl->selectedBitmap, pBitmap);
}

CFont* CDC::SelectObject(CFont* pFont) {
    CFont* previous = m_impl->selectedFont;
    m_impl->selectedFont = pFont;
    m_impl->font = sw::ui::qt::FontOf(pFont);
    if (m_impl->painter != nullptr) {
        m_impl->painter->setFont(m_impl->font);
    }
    return previous;
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    return std::exchange(m_impl->textColor, crColor);
}

COLORREF CDC::GetTextColor() const {
    return m_impl->textColor;
}

COLORREF CDC::SetBkColor(COLORREF crColor) {
    return std::exchange(m_impl->bkColor, crColor);
}

COLORREF CDC::GetBkColor() const {
    return m_impl->bkColor;
}

int CDC::SetBkMode(int nBkMode) {
    return std::exchange(m_impl->bkMode, nBkMode);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
    FillSolidRect(static_cast<int>(lpRect->left), static_cast<int>(lpRect->top),
                  static_cast<int>(lpRect->Width()), static_cast<int>(lpRect->Height()), clr);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr) {
    // As on Windows, filling sets the background colour.
    m_impl->bkColor = clr;
    if (m_impl->painter != nullptr) {
        m_impl->painter->fillRect(x, y, cx, cy, ToColor(clr));
    }
}

void CDC::FrameRect(LPCRECT lpRect, COLORREF clr) {
    if (m_impl->painter == nullptr) {
        return;
    }
    const QColor color = ToColor(clr);
    const int l = static_cast<int>(lpRect->left);
    const int t = static_cast<int>(lpRect->top);
    const int w = static_cast<int>(lpRect->Width());
    const int h = static_cast<int>(lpRect->Height());
    m_impl->painter->fillRect(l, t, w, 1, color);
    m_impl->painter->fillRect(l, t + h - 1, w, 1, color);
    m_impl->painter->fillRect(l, t, 1, h, color);
    m_impl->painter->fillRect(l + w - 1, t, 1, h, color);
}

void CDC::FillAlphaRect(LPCRECT lpRect, COLORREF clr, BYTE bAlpha) {
    if (m_impl->painter == nullptr) {
        return;
    }
    QColor color = ToColor(clr);
    color.setAlpha(bAlpha);
    m_impl->painter->fillRect(static_cast<int>(lpRect->left), static_cast<int>(lpRect->top),
                              static_cast<int>(lpRect->Width()), static_cast<int>(lpRect->Height()), color);
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat) {
    const QString text = Q(str);
    int flags = static_cast<int>(sw::ui::qt::AlignmentOf(nFormat));
    if ((nFormat & DT_WORDBREAK) != 0 && (nFormat & DT_SINGLELINE) == 0) {
        flags |= Qt::TextWordWrap;
    }
    if ((nFormat & DT_NOPREFIX) == 0) {
        flags |= Qt::TextShowMnemonic;
    }
    const QRect rect(static_cast<int>(lpRect->left), static_cast<int>(lpRect->top),
                     static_cast<int>(lpRect->Width()), static_cast<int>(lpRect->Height()));
    const QFontMetrics metrics(m_impl->font);
    if ((nFormat & DT_CALCRECT) != 0) {
        const QRect bounds = metrics.boundingRect(
            rect.width() > 0 ? rect : QRect(rect.topLeft(), QSize(32767, 0)), flags, text);
        lpRect->right = lpRect->left + bounds.width();
        lpRect->bottom = lpRect->top + bounds.height();
        return bounds.height();
    }
    QString shown = text;
    if ((nFormat & DT_END_ELLIPSIS) != 0) {
        shown = metrics.elidedText(text, Qt::ElideRight, rect.width(), flags);
    }
    const QRect bounds = metrics.boundingRect(rect, flags, shown);
    if (m_impl->painter != nullptr) {
        if (m_impl->bkMode == OPAQUE) {
            m_impl->painter->fillRect(bounds, ToColor(m_impl->bkColor));
        }
        m_impl->painter->setPen(ToColor(m_impl->textColor));
        m_impl->painter->setFont(m_impl->font);
        m_impl->painter->drawText(rect, flags, shown);
    }
    return bounds.height();
}

BOOL CDC::TextOut(int x, int y, const CString& str) {
    if (m_impl->painter == nullptr) {
        return TRUE;
    }
    const QFontMetrics metrics(m_impl->font);
    const QString text = Q(str);
    if (m_impl->bkMode == OPAQUE) {
        m_impl->painter->fillRect(x, y, metrics.horizontalAdvance(text), metrics.height(),
                                  ToColor(m_impl->bkColor));
    }
    m_impl->painter->setPen(ToColor(m_impl->textColor));
    m_impl->painter->setFont(m_impl->font);
    m_impl->painter->drawText(x, y + metrics.ascent(), text);
    return TRUE;
}

CSize CDC::GetTextExtent(const CString& str) const {
    const QFontMetrics metrics(m_impl->font);
    return {metrics.horizontalAdvance(Q(str)), metrics.height()};
}

BOOL CDC::GetTextMetrics(TEXTMETRIC* lpMetrics) const {
    if (lpMetrics == nullptr) {
        return FALSE;
    }
    const QFontMetrics metrics(m_impl->font);
    lpMetrics->tmHeight = metrics.height();
    lpMetrics->tmAscent = metrics.ascent();
    lpMetrics->tmDescent = metrics.descent();
    lpMetrics->tmAveCharWidth = metrics.averageCharWidth();
    lpMetrics->tmExternalLeading = metrics.leading();
    return TRUE;
}

void CDC::DrawFocusRect(LPCRECT lpRect) {
    if (m_impl->painter == nullptr) {
        return;
    }
    QStyleOptionFocusRect option;
    option.rect = QRect(static_cast<int>(lpRect->left), static_cast<int>(lpRect->top),
                        static_cast<int>(lpRect->Width()), static_cast<int>(lpRect->Height()));
    option.palette = QApplication::palette();
    option.state = QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, m_impl->painter);
}

BOOL CDC::DrawFrameControl(LPRECT lpRect, UINT nType, UINT nState) {
    if (m_impl->painter == nullptr || nType != DFC_BUTTON) {
        return m_impl->painter == nullptr ? TRUE : FALSE;
    }
    const QRect rect(static_cast<int>(lpRect->left), static_cast<int>(lpRect->top),
                     static_cast<int>(lpRect->Width()), static_cast<int>(lpRect->Height()));
    QStyle* style = QApplication::style();
    if ((nState & DFCS_BUTTONPUSH) != 0) {
        QStyleOptionButton option;
        option.rect = rect;
        option.palette = QApplication::palette();
        option.state = (nState & DFCS_INACTIVE) != 0 ? QStyle::State_None : QStyle::State_Enabled;
        option.state |=
            (nState & DFCS_PUSHED) != 0 ? (QStyle::State_Sunken | QStyle::State_On) : QStyle::State_Raised;
        if ((nState & DFCS_FLAT) != 0) {
            option.features |= QStyleOptionButton::Flat;
        }
        style->drawControl(QStyle::CE_PushButtonBevel, &option, m_impl->painter);
        return TRUE;
    }
    QStyleOptionButton option;
    const int side = std::min(rect.width(), rect.height());
    option.rect =
        QRect(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side, side);
    option.palette = QApplication::palette();
    option.state = (nState & DFCS_INACTIVE) != 0 ? QStyle::State_None : QStyle::State_Enabled;
    option.state |= (nState & DFCS_CHECKED) != 0 ? QStyle::State_On : QStyle::State_Off;
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, m_impl->painter);
    return TRUE;
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD /*dwRop*/) {
    if (m_impl->painter == nullptr || pSrcDC == nullptr || pSrcDC->m_impl->selectedBitmap == nullptr ||
        pSrcDC->m_impl->selectedBitmap->GetImpl() == nullptr) {
        return FALSE;
    }
    const QImage& image = pSrcDC->m_impl->selectedBitmap->GetImpl()->image;
    const double ratio = image.devicePixelRatio();
    m_impl->painter->drawImage(QRectF(x, y, nWidth, nHeight), image,
                               QRectF(xSrc * ratio, ySrc * ratio, nWidth * ratio, nHeight * ratio));
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* pWnd) {
    sw::ui::qt::BeginClientPainting(this, pWnd, false);
}

CClientDC::CClientDC(CWnd* pWnd) {
    sw::ui::qt::BeginClientPainting(this, pWnd, true);
}
