// Writes the artwork into the folder given as the only argument (default "res").
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "artwork.h"

namespace {

bool save(const QImage& image, const QDir& dir, const QString& name) {
    const QString path = dir.filePath(name);
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "varim-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(name), image.width(), image.height());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("res"));
    if (!dir.exists()) {
        std::fprintf(stderr, "varim-artwork: no folder %s\n", qPrintable(dir.path()));
        return 1;
    }

    struct Strip {
        const char* file;
        const char* word;
        int width;
        int height;
        artwork::StripTone tone;
    };
    const Strip strips[] = {
        {"strip152.png", "Scan", 448, 37, artwork::StripTone::Blue},
        {"strip153.png", "Test Speed", 450, 39, artwork::StripTone::Blue},
        {"strip155.png", "Exit", 164, 33, artwork::StripTone::Blue},
        {"strip156.png", "Stop", 489, 43, artwork::StripTone::Red},
        {"strip157.png", "Open session", 453, 39, artwork::StripTone::Blue},
    };

    bool ok = save(artwork::drawBackground(), dir, "background.png");
    for (const Strip& s : strips)
        ok = save(artwork::drawStrip(QString::fromLatin1(s.word), s.width, s.height, s.tone), dir, s.file) && ok;
    for (int size : {16, 24, 32, 48, 64, 128})
        ok = save(artwork::drawIcon(size), dir, QStringLiteral("icon-%1.png").arg(size)) && ok;
    return ok ? 0 : 1;
}
