// The application's start: the controller, the QML engine with the window, the tray icon and,
// with --screenshots, the screenshot run. --background (the autostart entry's way) starts with
// only the tray icon when there is a tray.

#include "Application.h"

#include <QApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

#include <cstdio>
#include <cstring>
#include <optional>

#include "../kit/IconProvider.h"
#include "../kit/UiSupport.h"
#include "AppShell.h"
#include "AppState.h"
#include "Screenshots.h"

namespace kelvane::ui {

int runApplication(int argc, char** argv) {
    std::optional<QString> screenshotDir;
    bool background = false;  // started at login: only the tray icon
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--screenshots") == 0 && i + 1 < argc) {
            screenshotDir = QString::fromLocal8Bit(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--background") == 0) {
            background = true;
        }
    }
    if (screenshotDir) {
        kelvane::ui::screenshots::prepareHome();
        kelvane::AppState::setSharedOptions(kelvane::ui::screenshots::controllerOptions());
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Kelvane");
    // Wayland compositors and docks find the menu entry and icon by this name.
    QGuiApplication::setDesktopFileName("com.orrindale.Kelvane");
    QGuiApplication::setWindowIcon(QIcon::fromTheme("com.orrindale.Kelvane"));
    QApplication::setApplicationVersion(KELVANE_VERSION);
    QQuickStyle::setStyle("Basic");
    // Without a desktop's platform theme (the offscreen platform, a bare X server) Qt looks
    // for icon themes nowhere; the XDG data folders are where they live.
    auto searchPaths = QIcon::themeSearchPaths();
    const auto dataDirs = qEnvironmentVariable("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    for (const auto& dir : dataDirs.split(':', Qt::SkipEmptyParts)) {
        if (!searchPaths.contains(dir + "/icons")) {
            searchPaths.append(dir + "/icons");
        }
    }
    QIcon::setThemeSearchPaths(searchPaths);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == "hicolor") {
        QIcon::setThemeName("Adwaita");
    }

    auto& state = kelvane::AppState::shared();
    kelvane::ui::UiSupport ui;
    kelvane::ui::AppShell shell(state);
    qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "App", &state);
    qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "Ui", &ui);
    qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "Shell", &shell);

    QQmlApplicationEngine engine;
    kelvane::ui::IconProvider::installAll(engine);
    engine.addImportPath("qrc:/qt/qml");
    engine.load(QUrl("qrc:/qt/qml/Kelvane/shell/Main.qml"));
    auto* window = engine.rootObjects().isEmpty()
                       ? nullptr
                       : qobject_cast<QQuickWindow*>(engine.rootObjects().first());
    if (window == nullptr) {
        std::fprintf(stderr, "kelvane: the main window could not be loaded.\n");
        return 1;
    }
    shell.setWindow(window);
    // Without a tray a hidden window could not be reached: it opens whatever was asked.
    if (!background || !shell.hasTray() || screenshotDir) {
        shell.showWindow();
    }
    if (screenshotDir) {
        kelvane::ui::screenshots::run(*window, state, ui, *screenshotDir);
    }
    return QApplication::exec();
}

}  // namespace kelvane::ui
