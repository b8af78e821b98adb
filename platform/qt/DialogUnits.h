// Dialog units to pixels, measured from the dialog's font as the platform does it: a horizontal unit
// is a quarter of the average width of "A" to "Z" and "a" to "z", a vertical unit an eighth of the
// line height.
#pragma once

#include <QFont>
#include <QRect>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    int X(int nUnits) const;
    int Y(int nUnits) const;
    QRect Rect(int x, int y, int cx, int cy) const;
    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

private:
    int m_nBaseX;
    int m_nBaseY;
};
