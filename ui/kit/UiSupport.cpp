#include "UiSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "Date.h"
#include "Format.h"
#include "PathText.h"

namespace kelvane::ui {

namespace {

Date toDate(const QDateTime& value) {
    return Date{std::chrono::milliseconds{value.toMSecsSinceEpoch()}};
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace

UiSupport::UiSupport(QObject* parent)
    : QObject(parent), dark_(darkFromEnvironment()), now_(QDateTime::currentDateTimeUtc()) {
    auto* minute = new QTimer(this);
    connect(minute, &QTimer::timeout, this, [this] {
        now_ = QDateTime::currentDateTimeUtc();
        emit nowChanged();
    });
    minute->start(std::chrono::minutes(1));
}

bool UiSupport::darkFromEnvironment() {
    if (const char* value = std::getenv("KELVANE_APPEARANCE")) {
        return std::string(value) != "light";
    }
    // Qt 6.4 has no colour-scheme hint: a dark window colour means a dark desktop.
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

void UiSupport::setDark(bool dark) {
    if (dark_ != dark) {
        dark_ = dark;
        emit darkChanged();
    }
}

QColor UiSupport::accent() const {
    return QColor(10, 122, 255);
}

QString UiSupport::bytes(qint64 count) const {
    return text(Format::bytes(count));
}

QString UiSupport::fileCount(qint64 count) const {
    return text(Format::fileCount(count));
}

QString UiSupport::integer(qint64 count) const {
    return text(Format::integer(count));
}

QString UiSupport::date(const QDateTime& value) const {
    return value.isValid() ? text(Format::date(toDate(value))) : QString();
}

QString UiSupport::relative(const QDateTime& value) const {
    // The clock of the call, not of the last minute tick: a scan that just ended is "now",
    // not "in 9 seconds".
    const auto current = std::max(now_, QDateTime::currentDateTimeUtc());
    return value.isValid() ? text(Format::relative(toDate(value), toDate(current))) : QString();
}

QString UiSupport::percent(double fraction) const {
    return text(Format::percent(fraction));
}

QString UiSupport::shortPath(const QString& path) const {
    return text(Format::shortPath(path.toStdString()));
}

QString UiSupport::lastComponent(const QString& path) const {
    return text(std::string(path::lastComponent(path.toStdString())));
}

void UiSupport::reveal(const QString& path) const {
    const auto url = QUrl::fromLocalFile(path).toString();
    auto message = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                  "/org/freedesktop/FileManager1",
                                                  "org.freedesktop.FileManager1", "ShowItems");
    message << QStringList{url} << QString();
    const auto bus = QDBusConnection::sessionBus();
    if (bus.isConnected() &&
        bus.call(message, QDBus::Block, 3000).type() != QDBusMessage::ErrorMessage) {
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

}  // namespace kelvane::ui
