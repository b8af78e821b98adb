// Writes the application icon as PNG files for the desktop's icon theme: the 16 and 32 pixel art as
// drawn, and larger sizes as whole-pixel enlargements of the 32 pixel art, so every size is the same
// picture. Usage: mimicbox-export-icons DIRECTORY; writes DIRECTORY/SIZE.png. Exit status 1 when a
// file cannot be written.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "platform/qt/QtImages.h"
#include "ui/res/Images.h"

namespace {

bool Write(const QImage& image, const QString& directory)
{
    const QString path = QStringLiteral("%1/%2.png").arg(directory).arg(image.width());
    if (image.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "mimicbox-export-icons: cannot write %s\n", qPrintable(path));
    return false;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mimicbox-export-icons DIRECTORY\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString directory = QString::fromLocal8Bit(argv[1]);
    const QImage small = ToImage(*MainIcon().pSmall);
    const QImage large = ToImage(*MainIcon().pLarge);
    bool bOk = Write(small, directory) && Write(large, directory);
    for (int nFactor : {2, 4})
        bOk = bOk && Write(large.scaled(large.size() * nFactor, Qt::IgnoreAspectRatio, Qt::FastTransformation),
                           directory);
    return bOk ? 0 : 1;
}
