// Drawing objects on QFont, QImage and QRegion: fonts, pictures, image
// lists, regions, system colours and the font families.
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

namespace {

QColor Role(QPalette::ColorGroup group, QPalette::ColorRole role, const QColor& fallback) {
    if (!IsInteractive()) {
        return fallback;
    }
    return QApplication::palette().color(group, role);
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
