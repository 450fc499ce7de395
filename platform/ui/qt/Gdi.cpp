// Drawing objects on QPainter, QFont, QImage and QRegion.
#include "platform/ui/qt/Gdi.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/ui/Interactive.h"
#include "platform/ui/Wnd.h"
#include "platform/ui/qt/Window.h"

namespace sw::ui::qt {

QFont FontOf(const CFont* font) {
    if (font == nullptr || font->GetImpl() == nullptr) {
        return IsInteractive() ? QApplication::font() : QFont();
    }
    return font->GetImpl()->font;
}

QRegion RegionOf(const CRgn* region) {
    return region == nullptr || region->GetImpl() == nullptr ? QRegion() : region->GetImpl()->region;
}

QImage ResourceImage(const QString& path) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
        return {};
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double ratio = screen == nullptr ? 1.0 : std::max(1.0, screen->devicePixelRatio());
    const QSize logical = renderer.defaultSize();
    QImage image(QSize(static_cast<int>(std::ceil(logical.width() * ratio)),
                       static_cast<int>(std::ceil(logical.height() * ratio))),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

void AttachPainter(CDC* dc, QPainter* painter, QPoint clientOffset) {
    CDC::Impl* impl = dc->GetImpl();
    impl->painter = painter;
    impl->clientOffset = clientOffset;
    painter->translate(clientOffset);
    painter->setFont(impl->font);
}

namespace {

QPainter* PainterOf(const CDC* dc) {
    return dc->GetImpl()->painter;
}

QColor Role(QPalette::ColorGroup group, QPalette::ColorRole role, const QColor& fallback) {
    if (!IsInteractive()) {
        return fallback;
    }
    return QApplication::palette().color(group, role);
}

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

COLORREF GetSysColor(int nIndex) {
    using sw::ui::qt::Role;
    switch (nIndex) {
        case COLOR_WINDOW:
            return FromColor(Role(QPalette::Active, QPalette::Base, Qt::white));
        case COLOR_WINDOWTEXT:
            return FromColor(Role(QPalette::Active, QPalette::Text, Qt::black));
        case COLOR_HIGHLIGHT:
            return FromColor(Role(QPalette::Active, QPalette::Highlight, QColor(0, 120, 215)));
        case COLOR_HIGHLIGHTTEXT:
            return FromColor(Role(QPalette::Active, QPalette::HighlightedText, Qt::white));
        case COLOR_BTNFACE:
            return FromColor(Role(QPalette::Active, QPalette::Button, QColor(240, 240, 240)));
        case COLOR_BTNSHADOW:
            return FromColor(Role(QPalette::Active, QPalette::Mid, QColor(160, 160, 160)));
        case COLOR_GRAYTEXT:
            return FromColor(Role(QPalette::Disabled, QPalette::Text, QColor(109, 109, 109)));
        case COLOR_BTNTEXT:
            return FromColor(Role(QPalette::Active, QPalette::ButtonText, Qt::black));
        case COLOR_BTNHIGHLIGHT:
            return FromColor(Role(QPalette::Active, QPalette::Light, Qt::white));
        default:
            return 0;
    }
}

void EnumFontFamilies(const std::function<bool(const CString& face, DWORD fontType)>& callback) {
    if (!sw::ui::IsInteractive()) {
        return;
    }
    for (const QString& family : QFontDatabase::families()) {
        if (QFontDatabase::isPrivateFamily(family)) {
            continue;
        }
        const DWORD type = QFontDatabase::isSmoothlyScalable(family) ? TRUETYPE_FONTTYPE : 0;
        if (!callback(family.toStdWString(), type)) {
            return;
        }
    }
}

// CFont

CFont::CFont() = default;
CFont::~CFont() = default;

BOOL CFont::CreateFont(int nHeight, int /*nWidth*/, int /*nEscapement*/, int /*nOrientation*/, int nWeight,
                       BYTE bItalic, BYTE bUnderline, BYTE cStrikeOut, BYTE /*nCharSet*/,
                       BYTE /*nOutPrecision*/, BYTE /*nClipPrecision*/, BYTE nQuality,
                       BYTE /*nPitchAndFamily*/, LPCTSTR lpszFacename) {
    if (m_impl) {
        return FALSE;
    }
    QFont font(Q(lpszFacename));
    if (nHeight < 0) {
        font.setPixelSize(-nHeight);
    } else if (nHeight > 0) {
        // A positive height is the cell height: find the size whose line
        // height comes closest to it.
        font.setPixelSize(nHeight);
        const int cell = QFontMetrics(font).height();
        if (cell > 0 && cell != nHeight) {
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(1.0 * nHeight * nHeight / cell))));
        }
    }
    if (nWeight > 0) {
        font.setWeight(static_cast<QFont::Weight>(std::clamp(nWeight, 100, 900)));
    }
    font.setItalic(bItalic != 0);
    font.setUnderline(bUnderline != 0);
    font.setStrikeOut(cStrikeOut != 0);
    font.setStyleStrategy(nQuality == ANTIALIASED_QUALITY ? QFont::PreferAntialias : QFont::PreferDefault);
    m_impl = std::make_unique<Impl>();
    m_impl->font = font;
    return TRUE;
}

BOOL CFont::CreatePointFont(int nPointSize, LPCTSTR lpszFaceName) {
    if (m_impl) {
        return FALSE;
    }
    QFont font(Q(lpszFaceName));
    font.setPointSizeF(nPointSize / 10.0);
    m_impl = std::make_unique<Impl>();
    m_impl->font = font;
    return TRUE;
}

BOOL CFont::DeleteObject() {
    const bool had = static_cast<bool>(m_impl);
    m_impl.reset();
    return had ? TRUE : FALSE;
}

bool CFont::IsCreated() const {
    return static_cast<bool>(m_impl);
}

CString CFont::GetFaceName() const {
    return m_impl ? m_impl->font.family().toStdWString() : CString();
}

CFont* CFont::GetDefaultGuiFont() {
    // Never destroyed: a font must not outlive the toolkit's font database.
    static CFont* font = new CFont;
    if (!font->m_impl) {
        font->m_impl = std::make_unique<Impl>();
        font->m_impl->font = sw::ui::IsInteractive() ? QApplication::font() : QFont();
    }
    return font;
}

// CBitmap

CBitmap::CBitmap() = default;
CBitmap::~CBitmap() = default;

BOOL CBitmap::LoadBitmap(UINT nIDResource) {
    if (!sw::ui::IsInteractive()) {
        return FALSE;
    }
    QImage image = sw::ui::qt::ResourceImage(QStringLiteral(":/bitmap/%1.svg").arg(nIDResource));
    if (image.isNull()) {
        return FALSE;
    }
    m_impl = std::make_unique<Impl>();
    m_impl->image = std::move(image);
    return TRUE;
}

int CBitmap::GetBitmap(BITMAP* pBitMap) const {
    if (!m_impl || pBitMap == nullptr) {
        return 0;
    }
    const QSizeF size = m_impl->image.deviceIndependentSize();
    pBitMap->bmWidth = std::lround(size.width());
    pBitMap->bmHeight = std::lround(size.height());
    return 1;
}

COLORREF CBitmap::GetPixel(int x, int y, COLORREF crTransparent) const {
    if (!m_impl) {
        return crTransparent;
    }
    const double ratio = m_impl->image.devicePixelRatio();
    const int px = static_cast<int>(std::lround((x + 0.5) * ratio - 0.5));
    const int py = static_cast<int>(std::lround((y + 0.5) * ratio - 0.5));
    if (!m_impl->image.valid(px, py)) {
        return crTransparent;
    }
    const QColor color = m_impl->image.pixelColor(px, py);
    return color.alpha() < 128 ? crTransparent : FromColor(color);
}

BOOL CBitmap::DeleteObject() {
    const bool had = static_cast<bool>(m_impl);
    m_impl.reset();
    return had ? TRUE : FALSE;
}

// CImageList

CImageList::CImageList() = default;
CImageList::~CImageList() = default;

BOOL CImageList::Create(UINT nBitmapID, int cx, int /*nGrow*/, COLORREF crMask) {
    if (!sw::ui::IsInteractive() || cx <= 0) {
        return FALSE;
    }
    QImage strip = sw::ui::qt::ResourceImage(QStringLiteral(":/bitmap/%1.svg").arg(nBitmapID));
    if (strip.isNull()) {
        return FALSE;
    }
    const double ratio = strip.devicePixelRatio();
    const int width = static_cast<int>(std::lround(cx * ratio));
    const QColor mask = ToColor(crMask);
    m_impl = std::make_unique<Impl>();
    for (int left = 0; left + width <= strip.width(); left += width) {
        QImage image = strip.copy(left, 0, width, strip.height());
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 255 && pixel.rgb() == mask.rgb()) {
                    image.setPixelColor(x, y, Qt::transparent);
                }
            }
        }
        image.setDevicePixelRatio(ratio);
        m_impl->images.push_back(std::move(image));
    }
    return TRUE;
}

BOOL CImageList::DeleteImageList() {
    const bool had = static_cast<bool>(m_impl);
    m_impl.reset();
    return had ? TRUE : FALSE;
}

int CImageList::GetImageCount() const {
    return m_impl ? static_cast<int>(m_impl->images.size()) : 0;
}

BOOL CImageList::Draw(CDC* pDC, int nImage, POINT pt, UINT /*nStyle*/) {
    if (!m_impl || pDC == nullptr || nImage < 0 || nImage >= GetImageCount()) {
        return FALSE;
    }
    QPainter* painter = sw::ui::qt::PainterOf(pDC);
    if (painter != nullptr) {
        painter->drawImage(QPoint(static_cast<int>(pt.x), static_cast<int>(pt.y)),
                           m_impl->images[static_cast<size_t>(nImage)]);
    }
    return TRUE;
}

// CRgn

CRgn::CRgn() = default;
CRgn::~CRgn() = default;

BOOL CRgn::CreateRectRgn(int x1, int y1, int x2, int y2) {
    m_impl = std::make_unique<Impl>();
    m_impl->region = QRegion(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)));
    return TRUE;
}

int CRgn::CombineRgn(const CRgn* pRgn1, const CRgn* pRgn2, int nCombineMode) {
    if (nCombineMode != RGN_OR) {
        return 0;
    }
    if (!m_impl) {
        m_impl = std::make_unique<Impl>();
    }
    m_impl->region = sw::ui::qt::RegionOf(pRgn1).united(sw::ui::qt::RegionOf(pRgn2));
    return m_impl->region.isEmpty() ? 1 : 3;
}

BOOL CRgn::PtInRegion(int x, int y) const {
    return m_impl && m_impl->region.contains(QPoint(x, y)) ? TRUE : FALSE;
}

BOOL CRgn::DeleteObject() {
    const bool had = static_cast<bool>(m_impl);
    m_impl.reset();
    return had ? TRUE : FALSE;
}

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
