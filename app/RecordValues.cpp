#include "RecordValues.h"

#include <algorithm>
#include <chrono>

#include "support/RawEnum.h"
#include "support/Utf8.h"

namespace kelvane::app {

namespace {

// A byte that is not part of valid UTF-8 travels as an unpaired low surrogate U+DC80…U+DCFF,
// which no valid UTF-8 can produce, so the way back is exact.
constexpr char16_t escapeBase = 0xDC00;

bool isEscapedByte(const QString& value, qsizetype i) {
    const char16_t unit = value[i].unicode();
    return unit >= 0xDC80 && unit <= 0xDCFF && (i == 0 || !value[i - 1].isHighSurrogate());
}

}  // namespace

QString text(const std::string& value) {
    std::string_view rest(value);
    if (utf8::isValid(rest)) {
        return QString::fromUtf8(rest.data(), static_cast<qsizetype>(rest.size()));
    }
    QString result;
    while (!rest.empty()) {
        const auto valid = utf8::validPrefix(rest);
        result += QString::fromUtf8(rest.data(), static_cast<qsizetype>(valid));
        if (valid < rest.size()) {
            result +=
                QChar(static_cast<char16_t>(escapeBase + static_cast<unsigned char>(rest[valid])));
            rest.remove_prefix(valid + 1);
        } else {
            rest = {};
        }
    }
    return result;
}

std::string utf8(const QString& value) {
    std::string result;
    qsizetype run = 0;  // start of the text not yet converted
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (isEscapedByte(value, i)) {
            result += QStringView(value).mid(run, i - run).toUtf8().toStdString();
            result += static_cast<char>(value[i].unicode() - escapeBase);
            run = i + 1;
        }
    }
    result += QStringView(value).mid(run).toUtf8().toStdString();
    return result;
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
