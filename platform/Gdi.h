// Drawing for owner-drawn controls: solid brushes and a device context that draws ellipses.
#pragma once

#include "platform/Types.h"

// A solid brush. Created and deleted by its owner; the number alive is counted so leaks show.
class CBrush {
public:
    CBrush() = default;
    ~CBrush() { DeleteObject(); }
    CBrush(const CBrush&) = delete;
    CBrush& operator=(const CBrush&) = delete;

    BOOL CreateSolidBrush(COLORREF color);
    BOOL DeleteObject();
    bool IsCreated() const { return m_bCreated; }
    COLORREF GetColor() const { return m_color; }

    static int LiveCount();

private:
    bool m_bCreated = false;
    COLORREF m_color = 0;
};

// A drawing context handed to an owner-draw handler. Its own brush is the backend's default fill.
class CDC {
public:
    virtual ~CDC() = default;

    // Makes pBrush the current brush; returns the one it replaces (null for the context's own brush).
    CBrush* SelectObject(CBrush* pBrush);
    // Draws an ellipse inscribed in the rectangle with the current pen and brush.
    BOOL Ellipse(int left, int top, int right, int bottom);

protected:
    // Paints the ellipse; bHasBrush false means the context's own fill.
    virtual void PaintEllipse(const RECT& rect, bool bHasBrush, COLORREF brushColor) = 0;

private:
    CBrush* m_pBrush = nullptr;
};
