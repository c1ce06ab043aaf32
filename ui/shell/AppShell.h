#pragma once

// The application around the window: showing the one main window (made once, hidden on
// close), the menu-bar extra as a tray icon where the desktop has a tray, and quitting.

#include <QObject>
#include <QPointer>

class QMenu;
class QQuickWindow;
class QSystemTrayIcon;

namespace kelvane {
class AppState;
}

namespace kelvane::ui {

class AppShell : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasTray READ hasTray CONSTANT)

  public:
    AppShell(AppState& state, QObject* parent = nullptr);
    ~AppShell() override;

    void setWindow(QQuickWindow* window);
    bool hasTray() const { return tray_ != nullptr; }

    // Brings the window forward at its design size, centred.
    Q_INVOKABLE void showWindow();
    Q_INVOKABLE void quit();

  private:
    void buildTray();
    void updateTray();
    // A notice that comes while the window is hidden (a scheduled scan, a tray action) goes to
    // the desktop's notifications, so it is not shown to nobody.
    void notifyIfHidden();

    AppState& state_;
    QPointer<QQuickWindow> window_;
    bool shownOnce_ = false;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* menu_ = nullptr;
};

}  // namespace kelvane::ui
