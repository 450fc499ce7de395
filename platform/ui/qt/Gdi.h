// Private to the Qt side of platform/ui: what the drawing objects hold.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRegion>

#include <memory>
#include <vector>

#include "platform/ui/Gdi.h"

namespace sw::ui::qt {

inline QColor ToColor(COLORREF c) {
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}
inline COLORREF FromColor(const QColor& c) {
    return RGB(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()),
               static_cast<unsigned>(c.blue()));
}

QFont FontOf(const CFont* font);
QRegion RegionOf(const CRgn* region);
// A picture of the program's resources ("bitmap/<id>.svg"), in logical
// pixels at the screen's density; a null image when there is none.
QImage ResourceImage(const QString& path);

// Starts drawing on `painter`, whose origin is the window's client origin
// shifted by `clientOffset`.
void AttachPainter(CDC* dc, QPainter* painter, QPoint clientOffset);
// The painter a context draws with, null while it only measures.
QPainter* PainterOf(const CDC* dc);

}  // namespace sw::ui::qt

struct CFont::Impl {
    QFont font;
};

struct CBitmap::Impl {
    QImage image;
};

struct CImageList::Impl {
    std::vector<QImage> images;
};

struct CRgn::Impl {
    QRegion region;
};

struct CDC::Impl {
    QPainter* painter = nullptr;
    std::unique_ptr<QPainter> ownedPainter;
    QPoint clientOffset;
    QFont font;
    CFont* selectedFont = nullptr;
    CBitmap* selectedBitmap = nullptr;
    COLORREF textColor = 0;
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
};
