#include "IconProvider.h"

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QPainter>

namespace kelvane::ui {

namespace {

QImage tinted(const QImage& shape, const QColor& colour, const QSize& size) {
    // Premultiplied before scaling: scaling straight alpha speckles the edges.
    QImage image = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                       .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour);
    return image;
}

QImage transparent(const QSize& size) {
    QImage empty(size, QImage::Format_ARGB32_Premultiplied);
    empty.fill(Qt::transparent);
    return empty;
}

// A desktop without an icon theme still gets an image of the asked size: an empty frame keeps
// the row's layout and spares the console a warning per row.
QImage drawn(const QIcon& icon, const QSize& size) {
    const QImage image = icon.pixmap(size).toImage();
    if (image.isNull()) {
        return transparent(size);
    }
    return image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

void IconProvider::installAll(QQmlEngine& engine) {
    engine.addImageProvider("icon", new IconProvider(Source::appIcon));
    engine.addImageProvider("symbol", new IconProvider(Source::symbol));
    engine.addImageProvider("file", new IconProvider(Source::file));
    engine.addImageProvider("appicon", new IconProvider(Source::themeIcon));
}

IconProvider::IconProvider(Source source)
    : QQuickImageProvider(QQuickImageProvider::Image), source_(source) {}

QString IconProvider::themeName(const QString& symbol) {
    static const QHash<QString, QString> names{
        {"folder", "folder-symbolic"},
        {"doc", "text-x-generic-symbolic"},
        {"doc.text", "x-office-document-symbolic"},
        {"magnifyingglass", "system-search-symbolic"},
        {"arrow.clockwise", "view-refresh-symbolic"},
        {"arrow.up.forward.app", "document-open-symbolic"},
        {"checkmark.circle.fill", "emblem-ok-symbolic"},
        {"chevron.right", "go-next-symbolic"},
        {"info.circle", "help-about-symbolic"},
        {"scope", "find-location-symbolic"},
        {"bolt", "thunderbolt-symbolic"},
        {"tray.and.arrow.down", "document-save-symbolic"},
        {"arrow.uturn.backward.circle", "edit-undo-symbolic"},
        {"menubar.dock.rectangle", "user-desktop-symbolic"},
        {"photo.on.rectangle", "image-x-generic-symbolic"},
        {"icloud", "weather-overcast-symbolic"},
        {"arrow.triangle.2.circlepath", "emblem-synchronizing-symbolic"},
        {"key", "dialog-password-symbolic"},
        {"globe", "web-browser-symbolic"},
        {"externaldrive.badge.icloud", "drive-harddisk-symbolic"},
        {"clock.arrow.circlepath", "document-open-recent-symbolic"},
        {"app.dashed", "application-x-executable-symbolic"},
        {"chevron.left.forwardslash.chevron.right", "text-x-script-symbolic"},
        {"plus", "list-add-symbolic"},
        {"folder.badge.minus", "folder-symbolic"},
        {"sparkles", "starred-symbolic"},
        {"clock.badge.xmark", "edit-clear-all-symbolic"},
        {"lock.shield", "security-high-symbolic"},
        {"gearshape.2", "emblem-system-symbolic"},
        {"checkmark.circle", "object-select-symbolic"},
        {"checkmark", "object-select-symbolic"},
        {"doc.on.doc", "edit-copy-symbolic"},
        {"xmark.circle.fill", "edit-clear-symbolic"},
        {"trash.slash", "user-trash-symbolic"},
        {"exclamationmark.triangle", "dialog-warning-symbolic"},
    };
    return names.value(symbol);
}

QImage IconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    if (source_ == Source::themeIcon) {
        const QSize wanted =
            requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(48, 48);
        if (size != nullptr) {
            *size = wanted;
        }
        auto icon = id.startsWith('/') ? QIcon(id) : QIcon::fromTheme(id);
        if (icon.isNull() || icon.pixmap(wanted).isNull()) {
            icon = QIcon::fromTheme("application-x-executable");
        }
        return drawn(icon, wanted);
    }
    if (source_ == Source::file) {
        const QSize wanted =
            requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(48, 48);
        if (size != nullptr) {
            *size = wanted;
        }
        const auto type = QMimeDatabase().mimeTypeForFile(id);
        auto icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
        if (icon.isNull()) {
            icon = QIcon::fromTheme("application-x-executable");
        }
        return drawn(icon, wanted);
    }
    const auto slash = id.lastIndexOf('/');
    const QString name = slash < 0 ? id : id.left(slash);
    const QColor colour(slash < 0 ? QString("#000000") : id.mid(slash + 1));
    const QSize wanted =
        requestedSize.isValid() && !requestedSize.isEmpty() ? requestedSize : QSize(48, 48);
    if (size != nullptr) {
        *size = wanted;
    }
    QImage shape;
    if (source_ == Source::appIcon) {
        shape.load(":/Resources/Icons/" + name + ".png");
    } else if (const auto theme = themeName(name); !theme.isEmpty()) {
        shape = QIcon::fromTheme(theme).pixmap(wanted).toImage();
    }
    if (shape.isNull()) {
        return transparent(wanted);
    }
    return tinted(shape, colour, wanted);
}

}  // namespace kelvane::ui
