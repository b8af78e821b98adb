#include "platform/Gdi.h"

#include "platform/Resources.h"
#include "platform/WindowHost.h"
#include "platform/Wnd.h"

namespace {

int g_nLiveBrushes = 0;

}  // namespace

BOOL CBrush::CreateSolidBrush(COLORREF color)
{
    if (m_bCreated)
        return FALSE;
    m_bCreated = true;
    m_color = color;
    ++g_nLiveBrushes;
    return TRUE;
}

BOOL CBrush::DeleteObject()
{
    if (!m_bCreated)
        return FALSE;
    m_bCreated = false;
    --g_nLiveBrushes;
    return TRUE;
}

int CBrush::LiveCount() { return g_nLiveBrushes; }

CBrush* CDC::SelectObject(CBrush* pBrush)
{
    CBrush* pOld = m_pBrush;
    m_pBrush = pBrush;
    return pOld;
}

BOOL CDC::Ellipse(int left, int top, int right, int bottom)
{
    const bool bHasBrush = m_pBrush && m_pBrush->IsCreated();
    PaintEllipse(RECT{left, top, right, bottom}, bHasBrush, bHasBrush ? m_pBrush->GetColor() : 0);
    return TRUE;
}

BOOL CDC::DrawIcon(int x, int y, HICON hIcon)
{
    if (!hIcon)
        return FALSE;
    PaintIcon(x, y, hIcon);
    return TRUE;
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_pWnd(pWnd), m_pDC(pWnd && pWnd->GetHost() ? pWnd->GetHost()->BeginPaint() : nullptr) {}

CPaintDC::~CPaintDC()
{
    if (m_pDC)
        m_pWnd->GetHost()->EndPaint(m_pDC);
}

int GetSystemMetrics(int nIndex)
{
    constexpr int kLargeIcon = 32;
    return nIndex == SM_CXICON || nIndex == SM_CYICON ? kLargeIcon : 0;
}
