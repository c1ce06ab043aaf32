// Build step: writes Kelvane's twenty template icons as PNG files into the given folder.

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "IconArt.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvane-make-icons OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(".")) {
        std::fprintf(stderr, "kelvane-make-icons: cannot create %s\n", argv[1]);
        return 1;
    }
    for (const auto& name : kelvane::ui::iconNames()) {
        // 192 pixels: sharp at the largest size shown (72 points) on a 2× screen.
        if (!kelvane::ui::drawIcon(name, 192).save(out.filePath(name + ".png"))) {
            std::fprintf(stderr, "kelvane-make-icons: cannot write %s.png\n", qPrintable(name));
            return 1;
        }
    }
    return 0;
}
