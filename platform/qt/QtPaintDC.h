// A drawing context over a QPainter, for owner-drawn controls. Its own brush is white with a black pen,
// like the platform's default context.
#pragma once

#include "platform/Gdi.h"

class QPainter;

class QtPaintDC : public CDC {
public:
    explicit QtPaintDC(QPainter& painter) : m_painter(painter) {}

protected:
    void PaintEllipse(const RECT& rect, bool bHasBrush, COLORREF brushColor) override;

private:
    QPainter& m_painter;
};
