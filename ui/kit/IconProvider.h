#pragma once

// Icons for QML as images tinted in their colour:
//   image://icon/Home/#2f6fed      — one of Kelvane's twenty template icons
//   image://symbol/folder/#6b7684  — a design symbol, from the desktop's icon theme
//   image://file/<path>            — the file manager's icon for the file's type (untinted)
// A missing icon is a transparent image of the asked size, so layouts keep their frames.

#include <QQmlEngine>
#include <QQuickImageProvider>

namespace kelvane::ui {

class IconProvider : public QQuickImageProvider {
  public:
    // themeIcon: an application's own icon, by the name its desktop entry gives (looked up in
    // the icon theme) or by an absolute file.
    enum class Source { appIcon, symbol, file, themeIcon };
    explicit IconProvider(Source source);
    // The four providers under their names: icon, symbol, file and appicon.
    static void installAll(QQmlEngine& engine);
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The freedesktop icon name standing for a design symbol, or an empty string.
    static QString themeName(const QString& symbol);

  private:
    Source source_;
};

}  // namespace kelvane::ui
