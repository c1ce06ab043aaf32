#pragma once

// Small core records as QML value types. Each wraps the controller's copy of the record and
// reads its fields on demand; QML sees them read-only.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <optional>
#include <string>
#include <vector>

#include "model/ScanRecords.h"
#include "scan/DuplicateScan.h"
#include "scan/LargeFileScan.h"
#include "settings/ScanSchedule.h"
#include "settings/SettingsStore.h"

namespace kelvane::app {

// Texts and paths to and from Qt. Paths are bytes: one that is not UTF-8 makes the round trip
// text → utf8 exactly, so a record handed back from QML names the very file it came from.
QString text(const std::string& value);
std::string utf8(const QString& value);
// An invalid QDateTime for an absent date.
QDateTime dateTime(const std::optional<Date>& value);
QStringList stringList(const std::vector<std::string>& values);
// A scan item for QML: path, name, parentPath, size, modified, ruleID, group, kind.
QVariantMap itemMap(const ScanItem& item);
QVariantList itemList(const std::vector<ScanItem>& items);

class ProgressValue {
    Q_GADGET
    Q_PROPERTY(bool present READ present)
    Q_PROPERTY(QString title READ title)
    Q_PROPERTY(qint64 completedRules READ completedRules)
    Q_PROPERTY(qint64 totalRules READ totalRules)
    Q_PROPERTY(qint64 filesSeen READ filesSeen)
    Q_PROPERTY(double fraction READ fraction)
  public:
    std::optional<ScanProgress> value;
    bool present() const { return value.has_value(); }
    QString title() const { return value ? text(value->title) : QString(); }
    qint64 completedRules() const { return value ? value->completedRules : 0; }
    qint64 totalRules() const { return value ? value->totalRules : 0; }
    qint64 filesSeen() const { return value ? value->filesSeen : 0; }
    double fraction() const { return value ? value->fraction() : 0.0; }
};

class SettingsValue {
    Q_GADGET
    Q_PROPERTY(QStringList enabledRuleIDs READ enabledRuleIDs)
    Q_PROPERTY(QStringList ignoreList READ ignoreList)
    Q_PROPERTY(qint64 retentionDays READ retentionDays)
    Q_PROPERTY(QString largeFileRoot READ largeFileRoot)
    Q_PROPERTY(QString duplicateRoot READ duplicateRoot)
    Q_PROPERTY(qint64 minLargeFileMB READ minLargeFileMB)
    Q_PROPERTY(qint64 minDuplicateMB READ minDuplicateMB)
    Q_PROPERTY(QDateTime lastScanDate READ lastScanDate)
    Q_PROPERTY(bool hasCompletedOnboarding READ hasCompletedOnboarding)
  public:
    AppSettings value;
    QStringList enabledRuleIDs() const;
    QStringList ignoreList() const { return stringList(value.ignoreList); }
    qint64 retentionDays() const { return value.retentionDays; }
    QString largeFileRoot() const { return text(value.largeFileRoot); }
    QString duplicateRoot() const { return text(value.duplicateRoot); }
    qint64 minLargeFileMB() const { return value.minLargeFileMB; }
    qint64 minDuplicateMB() const { return value.minDuplicateMB; }
    QDateTime lastScanDate() const { return dateTime(value.lastScanDate); }
    bool hasCompletedOnboarding() const { return value.hasCompletedOnboarding; }
};

class ScheduleValue {
    Q_GADGET
    Q_PROPERTY(QString mode READ mode)
    Q_PROPERTY(int hour READ hour)
    Q_PROPERTY(int minute READ minute)
    Q_PROPERTY(int weekday READ weekday)
    Q_PROPERTY(QDateTime lastRun READ lastRun)
  public:
    ScanSchedule value;
    QString mode() const;
    int hour() const { return value.hour; }
    int minute() const { return value.minute; }
    int weekday() const { return value.weekday; }
    QDateTime lastRun() const { return dateTime(value.lastRun); }
};

class JunkSummaryValue {
    Q_GADGET
    Q_PROPERTY(bool present READ present)
    Q_PROPERTY(qint64 totalBytes READ totalBytes)
    Q_PROPERTY(qint64 itemCount READ itemCount)
    Q_PROPERTY(int ruleCount READ ruleCount)
    Q_PROPERTY(bool cancelled READ cancelled)
    Q_PROPERTY(QDateTime startedAt READ startedAt)
    Q_PROPERTY(QDateTime finishedAt READ finishedAt)
  public:
    std::optional<JunkScanResult> value;
    bool present() const { return value.has_value(); }
    qint64 totalBytes() const { return value ? value->totalBytes() : 0; }
    qint64 itemCount() const { return value ? value->itemCount() : 0; }
    int ruleCount() const { return value ? static_cast<int>(value->results.size()) : 0; }
    bool cancelled() const { return value && value->cancelled; }
    QDateTime startedAt() const { return value ? dateTime(value->startedAt) : QDateTime(); }
    QDateTime finishedAt() const { return value ? dateTime(value->finishedAt) : QDateTime(); }
};

class LargeScanValue {
    Q_GADGET
    Q_PROPERTY(bool present READ present)
    Q_PROPERTY(qint64 totalBytes READ totalBytes)
    Q_PROPERTY(int itemCount READ itemCount)
    Q_PROPERTY(qint64 scannedFiles READ scannedFiles)
    Q_PROPERTY(qint64 unreadableFolders READ unreadableFolders)
    Q_PROPERTY(bool cancelled READ cancelled)
    Q_PROPERTY(bool truncated READ truncated)
  public:
    std::optional<LargeFileScan> value;
    qint64 unreadableFolders() const { return value ? value->unreadableFolders : 0; }
    bool present() const { return value.has_value(); }
    qint64 totalBytes() const { return value ? value->totalBytes() : 0; }
    int itemCount() const { return value ? static_cast<int>(value->items.size()) : 0; }
    qint64 scannedFiles() const { return value ? value->scannedFiles : 0; }
    bool cancelled() const { return value && value->cancelled; }
    bool truncated() const { return value && value->truncated; }
};

class DuplicateScanValue {
    Q_GADGET
    Q_PROPERTY(bool present READ present)
    Q_PROPERTY(qint64 reclaimableBytes READ reclaimableBytes)
    Q_PROPERTY(int groupCount READ groupCount)
    Q_PROPERTY(qint64 scannedFiles READ scannedFiles)
    Q_PROPERTY(qint64 skippedHardLinks READ skippedHardLinks)
    Q_PROPERTY(qint64 skippedProtected READ skippedProtected)
    Q_PROPERTY(qint64 unreadableFolders READ unreadableFolders)
    Q_PROPERTY(bool cancelled READ cancelled)
    Q_PROPERTY(bool truncated READ truncated)
  public:
    std::optional<DuplicateScan> value;
    bool present() const { return value.has_value(); }
    qint64 reclaimableBytes() const { return value ? value->reclaimableBytes() : 0; }
    int groupCount() const { return value ? static_cast<int>(value->groups.size()) : 0; }
    qint64 scannedFiles() const { return value ? value->scannedFiles : 0; }
    qint64 skippedHardLinks() const { return value ? value->skippedHardLinks : 0; }
    qint64 skippedProtected() const { return value ? value->skippedProtected : 0; }
    qint64 unreadableFolders() const { return value ? value->unreadableFolders : 0; }
    bool cancelled() const { return value && value->cancelled; }
    bool truncated() const { return value && value->truncated; }
};

}  // namespace kelvane::app
