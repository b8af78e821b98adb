#include "platform/qt/QtImages.h"

#include <QPixmap>
#include <array>
#include <cstring>

QImage ToImage(const ImageResource& image)
{
    std::array<QRgb, 256> colours{};
    for (const char* pszEntry : image.palette) {
        if (std::strlen(pszEntry) != 8 || pszEntry[1] != '#')
            return {};
        colours[static_cast<unsigned char>(pszEntry[0])] = QColor(QString::fromLatin1(pszEntry + 1)).rgb();
    }
    if (static_cast<int>(image.rows.size()) != image.cy)
        return {};
    QImage result(image.cx, image.cy, QImage::Format_RGB32);
    for (int y = 0; y < image.cy; ++y) {
        const char* pszRow = image.rows[static_cast<std::size_t>(y)];
        if (static_cast<int>(std::strlen(pszRow)) != image.cx)
            return {};
        for (int x = 0; x < image.cx; ++x)
            result.setPixel(x, y, colours[static_cast<unsigned char>(pszRow[x])]);
    }
    return result;
}

QIcon ToIcon(HICON hIcon)
{
    QIcon icon;
    if (!hIcon)
        return icon;
    for (const ImageResource* pImage : {hIcon->pLarge, hIcon->pSmall})
        if (pImage)
            icon.addPixmap(QPixmap::fromImage(ToImage(*pImage)));
    return icon;
}
