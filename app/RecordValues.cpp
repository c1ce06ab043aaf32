#include "RecordValues.h"

#include <algorithm>
#include <chrono>

#include "support/RawEnum.h"

namespace kelvane::app {

QString text(const std::string& value) {
    return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
}

std::string utf8(const QString& value) {
    return value.toStdString();
}

QDateTime dateTime(const std::optional<Date>& value) {
    if (!value) {
        return {};
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(value->time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count(), Qt::UTC);
}

QStringList stringList(const std::vector<std::string>& values) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(values.size()));
    for (const auto& value : values) {
        list.append(text(value));
    }
    return list;
}

QVariantMap itemMap(const ScanItem& item) {
    return {
        {"path", text(item.path)},
        {"name", text(item.name())},
        {"parentPath", text(item.parentPath())},
        {"size", QVariant::fromValue<qint64>(item.size)},
        {"modified", dateTime(item.modified)},
        {"ruleID", text(item.ruleID)},
        {"group", text(std::string(rawValue(item.group)))},
        {"kind", text(std::string(rawValue(item.kind)))},
    };
}

QVariantList itemList(const std::vector<ScanItem>& items) {
    QVariantList list;
    list.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items) {
        list.append(itemMap(item));
    }
    return list;
}

QStringList SettingsValue::enabledRuleIDs() const {
    QStringList list = stringList({value.enabledRuleIDs.begin(), value.enabledRuleIDs.end()});
    return list;
}

QString ScheduleValue::mode() const {
    return text(std::string(rawValue(value.mode)));
}

}  // namespace kelvane::app
