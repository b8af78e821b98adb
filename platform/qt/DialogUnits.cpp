#include "platform/qt/DialogUnits.h"

#include <QFontMetrics>

namespace {

int MulDiv(int a, int b, int c) { return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c); }

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int nWidth = metrics.horizontalAdvance(letters);
    m_nBaseX = (nWidth / 26 + 1) / 2;
    m_nBaseY = metrics.height();
}

int DialogUnits::X(int nUnits) const { return MulDiv(nUnits, m_nBaseX, 4); }

int DialogUnits::Y(int nUnits) const { return MulDiv(nUnits, m_nBaseY, 8); }

QRect DialogUnits::Rect(int x, int y, int cx, int cy) const { return QRect(X(x), Y(y), X(cx), Y(cy)); }
