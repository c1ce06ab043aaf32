// Kelvane: the desktop application. One controller, one window of QML screens, and a tray
// icon standing in for the menu-bar extra.

#include "Application.h"

int main(int argc, char** argv) {
    return kelvane::ui::runApplication(argc, argv);
}
