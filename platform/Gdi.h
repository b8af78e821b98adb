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
class CWnd;

class CDC {
public:
    virtual ~CDC() = default;

    // Makes pBrush the current brush; returns the one it replaces (null for the context's own brush).
    CBrush* SelectObject(CBrush* pBrush);
    // Draws an ellipse inscribed in the rectangle with the current pen and brush.
    BOOL Ellipse(int left, int top, int right, int bottom);
    // Draws an icon's large image with its top left corner at x, y.
    BOOL DrawIcon(int x, int y, HICON hIcon);
    // Fills the rectangle with the window's background, as WM_ICONERASEBKGND does by default.
    virtual void EraseBackground(const RECT& rect) = 0;

protected:
    // Paints the ellipse; bHasBrush false means the context's own fill.
    virtual void PaintEllipse(const RECT& rect, bool bHasBrush, COLORREF brushColor) = 0;
    virtual void PaintIcon(int x, int y, HICON hIcon) = 0;

private:
    CBrush* m_pBrush = nullptr;
};

// The drawing context of one paint of a window, for the handler of WM_PAINT; null contexts draw
// nothing when the window system has no paint under way.
class CPaintDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    CDC* GetSafeHdc() const { return m_pDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return m_pDC ? m_pDC->DrawIcon(x, y, hIcon) : FALSE; }

private:
    CWnd* m_pWnd;
    CDC* m_pDC;
};

constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;

// The size of the large icon, the one system metric this program reads.
int GetSystemMetrics(int nIndex);
