// A drawing context over a QPainter, for owner-drawn controls. Its own brush is white with a black pen,
// like the platform's default context.
#pragma once

#include "platform/Gdi.h"

#include <QColor>

class QPainter;

class QtPaintDC : public CDC {
public:
    QtPaintDC(QPainter& painter, const QColor& background) : m_painter(painter), m_background(background) {}

    void EraseBackground(const RECT& rect) override;

protected:
    void PaintEllipse(const RECT& rect, bool bHasBrush, COLORREF brushColor) override;
    void PaintIcon(int x, int y, HICON hIcon) override;

private:
    QPainter& m_painter;
    QColor m_background;
};
