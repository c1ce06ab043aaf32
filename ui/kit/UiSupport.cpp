#include "UiSupport.h"

#include <QCollator>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeySequence>
#include <QPalette>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <unicode/dtfmtsym.h>
#include <unicode/locid.h>

#include "RecordValues.h"
#include "TreemapLayout.h"
#include "files/AppPaths.h"
#include "model/Format.h"
#include "platform/Date.h"
#include "platform/FileURL.h"
#include "platform/PathText.h"
#include "platform/RunningProcesses.h"
#include "scan/DiskMapBuilder.h"

namespace kelvane::ui {

namespace {

Date toDate(const QDateTime& value) {
    return Date{std::chrono::milliseconds{value.toMSecsSinceEpoch()}};
}

using app::text;

}  // namespace

UiSupport::UiSupport(QObject* parent)
    : QObject(parent),
      dark_(darkFromEnvironment()),
      clock_([] { return QDateTime::currentDateTimeUtc(); }),
      now_(clock_()) {
    auto* ticks = new QTimer(this);
    connect(ticks, &QTimer::timeout, this, &UiSupport::refreshNow);
    const auto pace = [ticks](Qt::ApplicationState state) {
        // A window behind others needs no seconds; this keeps an idle app from waking the
        // processor every second.
        ticks->start(state == Qt::ApplicationActive ? std::chrono::milliseconds(1000)
                                                    : std::chrono::milliseconds(60'000));
    };
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, ticks, pace);
        pace(QGuiApplication::applicationState());
    } else {
        pace(Qt::ApplicationInactive);
    }
}

void UiSupport::setClock(std::function<QDateTime()> clock) {
    clock_ = std::move(clock);
    refreshNow();
}

void UiSupport::refreshNow() {
    const auto current = clock_();
    if (current != now_) {
        now_ = current;
        emit nowChanged();
    }
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

QString UiSupport::unreadableFolders(qint64 count) const {
    return text(Format::unreadableFolders(count));
}

QString UiSupport::counted(qint64 count, const QString& singular, const QString& plural) const {
    return text(Format::counted(count, app::utf8(singular), app::utf8(plural)));
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

QString UiSupport::relative(const QDateTime& value, const QDateTime& now) const {
    // The later of the tick and the clock: a scan that ended after the last tick is "now",
    // not "in 0 seconds".
    const auto current = std::max(now.isValid() ? now : now_, clock_());
    return value.isValid() ? text(Format::relative(toDate(value), toDate(current))) : QString();
}

QString UiSupport::percent(double fraction) const {
    return text(Format::percent(fraction));
}

QString UiSupport::shortPath(const QString& path) const {
    return text(Format::shortPath(app::utf8(path)));
}

QString UiSupport::lastComponent(const QString& path) const {
    return text(std::string(path::lastComponent(app::utf8(path))));
}

void UiSupport::reveal(const QString& path) const {
    // The URL is made from the path's bytes, so a name that is not UTF-8 is still found.
    const auto bytes = app::utf8(path);
    const auto url = QString::fromStdString(platform::fileURL(bytes));
    auto message = QDBusMessage::createMethodCall("org.freedesktop.FileManager1",
                                                  "/org/freedesktop/FileManager1",
                                                  "org.freedesktop.FileManager1", "ShowItems");
    message << QStringList{url} << QString();
    const auto bus = QDBusConnection::sessionBus();
    if (bus.isConnected() &&
        bus.call(message, QDBus::Block, 3000).type() != QDBusMessage::ErrorMessage) {
        return;
    }
    QDesktopServices::openUrl(QUrl(QString::fromStdString(
        platform::fileURL(path::deletingLastComponent(path::standardize(bytes))))));
}

QString UiSupport::homePath() const {
    return text(AppPaths::home());
}

int UiSupport::daysUntil(const QDateTime& date, const QDateTime& now) const {
    const auto seconds = (now.isValid() ? now : clock_()).secsTo(date);
    return static_cast<int>(seconds >= 0 ? seconds / 86'400 : -((-seconds) / 86'400));
}

QString UiSupport::weekdayName(int weekday) const {
    UErrorCode status = U_ZERO_ERROR;
    const icu::DateFormatSymbols symbols(icu::Locale::getDefault(), status);
    int32_t count = 0;
    const auto* names = symbols.getWeekdays(count);  // index 1 is Sunday
    if (U_FAILURE(status) || weekday < 1 || weekday >= count) {
        return QString::number(weekday);
    }
    std::string name;
    names[weekday].toUTF8String(name);
    return text(name);
}

QVariantList UiSupport::treemap(const QVariantList& sizes, double width, double height) const {
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(sizes.size()));
    for (const auto& size : sizes) {
        values.push_back(size.toDouble());
    }
    QVariantList cells;
    for (const auto& cell : treemapLayout(values, {0, 0, width, height})) {
        const auto label = treemapLabel(cell.rect);
        cells.append(QVariantMap{
            {"index", static_cast<int>(cell.index)},
            {"x", cell.rect.x},
            {"y", cell.rect.y},
            {"width", cell.rect.width},
            {"height", cell.rect.height},
            {"label", label == TreemapLabel::none   ? "none"
                      : label == TreemapLabel::name ? "name"
                                                    : "nameAndSize"},
        });
    }
    return cells;
}

namespace {

QVariantMap nodeMap(const DiskMapNode& node) {
    QVariantList children;
    for (const auto& child : node.children) {
        children.append(nodeMap(child));
    }
    return {
        {"path", text(node.path)},
        {"name", text(node.name)},
        {"size", QVariant::fromValue<qint64>(node.size)},
        {"isDirectory", node.isDirectory},
        {"isCapped", node.isCapped},
        {"isMountPoint", node.isMountPoint},
        {"unreadableFolders", QVariant::fromValue<qint64>(node.unreadableFolders)},
        {"children", children},
    };
}

}  // namespace

int UiSupport::mapFolder(const QString& path) {
    const int job = ++lastJob_;
    std::stop_source stop;
    jobs_[job] = stop;
    walkers_.start([this, job, stop, folder = app::utf8(path)] {
        auto node = DiskMapBuilder{60}.node(folder, stop.get_token());
        mainQueue_.post([this, job, node = std::move(node)] {
            const auto found = jobs_.find(job);
            if (found == jobs_.end() || found->second.stop_requested()) {
                return;  // stopped: a late result never replaces the map
            }
            jobs_.erase(found);
            emit folderMapped(job, node ? QVariant(nodeMap(*node)) : QVariant());
        });
    });
    return job;
}

void UiSupport::stopMapping(int job) {
    if (const auto found = jobs_.find(job); found != jobs_.end()) {
        found->second.request_stop();
        jobs_.erase(found);
    }
}

bool UiSupport::isRunning(const QString& bundlePath) const {
    return !platform::processesInside(app::utf8(bundlePath)).empty();
}

QVariantList UiSupport::subfolders(const QString& path, bool hidden) const {
    struct Folder {
        QString name;
        QString path;
    };
    std::vector<Folder> folders;
    std::error_code error;
    const std::filesystem::path folder(app::utf8(path));
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (!it->is_directory(ignored) || it->is_symlink(ignored)) {
            continue;
        }
        const std::string name = it->path().filename().string();
        if (!hidden && name.starts_with('.')) {
            continue;
        }
        folders.push_back({text(name), text(it->path().string())});
    }
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(folders.begin(), folders.end(), [&](const Folder& a, const Folder& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    QVariantList result;
    for (const auto& f : folders) {
        result.append(QVariantMap{{"name", f.name}, {"path", f.path}});
    }
    return result;
}

QString UiSupport::shortcutText(const QVariant& shortcut) const {
    if (shortcut.typeId() == QMetaType::QString) {
        return QKeySequence::fromString(shortcut.toString(), QKeySequence::PortableText)
            .toString(QKeySequence::NativeText);
    }
    bool isNumber = false;
    const int standard = shortcut.toInt(&isNumber);
    if (!isNumber || standard <= 0) {
        return {};
    }
    const auto keys = QKeySequence::keyBindings(static_cast<QKeySequence::StandardKey>(standard));
    return keys.isEmpty() ? QString() : keys.first().toString(QKeySequence::NativeText);
}

QString UiSupport::parentPath(const QString& path) const {
    const auto parent = path::deletingLastComponent(app::utf8(path));
    return text(parent.empty() ? std::string("/") : parent);
}

QString UiSupport::standardizedPath(const QString& path) const {
    return text(path::standardize(app::utf8(path)));
}

}  // namespace kelvane::ui
