// Writes the application icon as vq9447qa-<size>.png files (16 to 256
// pixels) into the folder given, for the desktop menu of the installed tool.

#include "app/artwork.h"

#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vq9447-icons FOLDER\n", stderr);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("%1/vq9447qa-%2.png").arg(folder).arg(size);
        if (!vq::ApplicationIconPixmap(size).save(path, "PNG")) {
            std::fprintf(stderr, "vq9447-icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
