#include "platform/qt/QtPaintDC.h"

#include <QPainter>

#include "platform/Resources.h"
#include "platform/qt/QtImages.h"

void QtPaintDC::PaintEllipse(const RECT& rect, bool bHasBrush, COLORREF brushColor)
{
    const QColor fill = bHasBrush ? QColor(static_cast<int>(GetRValue(brushColor)), static_cast<int>(GetGValue(brushColor)),
                                           static_cast<int>(GetBValue(brushColor)))
                                  : QColor(Qt::white);
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setPen(QPen(Qt::black, 1));
    m_painter.setBrush(fill);
    // The rectangle's right and bottom edges lie outside it, as with the platform's Ellipse.
    m_painter.drawEllipse(QRectF(rect.left + 0.5, rect.top + 0.5, rect.right - rect.left - 1, rect.bottom - rect.top - 1));
    m_painter.restore();
}

void QtPaintDC::EraseBackground(const RECT& rect)
{
    m_painter.fillRect(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top), m_background);
}

void QtPaintDC::PaintIcon(int x, int y, HICON hIcon)
{
    if (hIcon->pLarge)
        m_painter.drawImage(QPoint(x, y), ToImage(*hIcon->pLarge));
}
