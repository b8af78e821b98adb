#include "platform/Gdi.h"

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
