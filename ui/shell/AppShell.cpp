#include "AppShell.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QQuickWindow>
#include <QScreen>
#include <QSystemTrayIcon>

#include "AppState.h"
#include "model/Format.h"

namespace kelvane::ui {

AppShell::AppShell(AppState& state, QObject* parent) : QObject(parent), state_(state) {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        buildTray();
    }
    // With a tray the application outlives its window, as the design has it; without one,
    // closing the window is the only way out.
    QGuiApplication::setQuitOnLastWindowClosed(tray_ == nullptr);
    connect(&state_, &AppState::toastChanged, this, [this] { notifyIfHidden(); });
}

void AppShell::notifyIfHidden() {
    const auto& notice = state_.toast();
    if (!notice || (window_ && window_->isVisible())) {
        return;
    }
    const auto body = QString::fromStdString(*notice);
    auto message = QDBusMessage::createMethodCall("org.freedesktop.Notifications",
                                                  "/org/freedesktop/Notifications",
                                                  "org.freedesktop.Notifications", "Notify");
    const QVariantMap hints{{"desktop-entry", QString("com.orrindale.Kelvane")}};
    message << QString("Kelvane") << 0u << QString("com.orrindale.Kelvane") << QString("Kelvane")
            << body << QStringList() << hints << -1;
    const auto bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() != nullptr &&
        bus.interface()->isServiceRegistered("org.freedesktop.Notifications")) {
        bus.asyncCall(message);
    } else if (tray_ != nullptr) {
        tray_->showMessage("Kelvane", body);  // no notification service: the tray's balloon
    }
}

AppShell::~AppShell() {
    delete menu_;
}

void AppShell::setWindow(QQuickWindow* window) {
    window_ = window;
}

void AppShell::showWindow() {
    if (!window_) {
        return;
    }
    if (!shownOnce_ || window_->visibility() == QWindow::Hidden) {
        // Every showing opens at the design size, centred; a zoomed or resized window is not
        // remembered.
        window_->setWindowStates(Qt::WindowNoState);
        window_->resize(1080, 720);
        if (const auto* screen = window_->screen()) {
            const auto area = screen->availableGeometry();
            window_->setPosition(area.center() - QPoint(540, 360));
        }
        shownOnce_ = true;
    }
    window_->show();
    window_->raise();
    window_->requestActivate();
}

void AppShell::quit() {
    QCoreApplication::quit();
}

void AppShell::buildTray() {
    tray_ = new QSystemTrayIcon(QIcon::fromTheme("starred-symbolic"), this);
    menu_ = new QMenu();
    connect(menu_, &QMenu::aboutToShow, this, [this] { updateTray(); });
    tray_->setContextMenu(menu_);
    connect(&state_, &AppState::freeSpaceChanged, this, [this] { updateTray(); });
    connect(&state_, &AppState::lastScanDateChanged, this, [this] { updateTray(); });
    updateTray();
    tray_->show();
}

void AppShell::updateTray() {
    const auto free = QString::fromStdString(Format::bytes(state_.freeSpace()));
    tray_->setToolTip(free + " free");
    menu_->clear();
    menu_->addAction(free + " free")->setEnabled(false);
    const auto& last = state_.lastScanDate();
    menu_
        ->addAction(last ? QString::fromStdString("Last scan " + Format::relative(*last, now()))
                         : QString("No scan yet"))
        ->setEnabled(false);
    menu_->addSeparator();
    connect(menu_->addAction("Quick Scan"), &QAction::triggered, this, [this] {
        state_.setScanMode(ScanMode::quick);
        state_.runScan(false);
        showWindow();
    });
    connect(menu_->addAction("Deep Scan"), &QAction::triggered, this, [this] {
        state_.setScanMode(ScanMode::deep);
        state_.runDeepScan();
        showWindow();
    });
    connect(menu_->addAction("Open Kelvane"), &QAction::triggered, this, [this] { showWindow(); });
    connect(menu_->addAction("Open Quarantine"), &QAction::triggered, this, [this] {
        state_.setSection(AppSection::quarantine);
        showWindow();
    });
    menu_->addSeparator();
    auto* quitAction = menu_->addAction("Quit Kelvane");
    quitAction->setShortcut(QKeySequence::Quit);
    connect(quitAction, &QAction::triggered, this, [this] { quit(); });
}

}  // namespace kelvane::ui
