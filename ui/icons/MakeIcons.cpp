// Build step: writes Kelvane's twenty template icons as PNG files into the given folder, or
// with --app-icon the application's icon at the icon theme's sizes
// (OUTDIR/<n>x<n>/apps/com.orrindale.Kelvane.png).

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <string_view>

#include "IconArt.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--app-icon") {
        const QDir out(QString::fromLocal8Bit(argv[2]));
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
            const auto folder = QString("%1x%1/apps").arg(size);
            if (!out.mkpath(folder) || !kelvane::ui::drawAppIcon(size).save(
                                           out.filePath(folder + "/com.orrindale.Kelvane.png"))) {
                std::fprintf(stderr, "kelvane-make-icons: cannot write the %d-pixel icon\n", size);
                return 1;
            }
        }
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvane-make-icons OUTDIR | --app-icon OUTDIR\n");
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
