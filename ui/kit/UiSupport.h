#pragma once

// What the QML screens need from C++ beyond the controller: the formatting of sizes, counts,
// dates and paths (the core's Format), the appearance, and the file manager.

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <map>
#include <memory>
#include <stop_token>

#include "BackgroundWork.h"

namespace kelvane::ui {

class UiSupport : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool dark READ dark WRITE setDark NOTIFY darkChanged)
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QDateTime now READ now NOTIFY nowChanged)
    Q_PROPERTY(QString homePath READ homePath CONSTANT)

  public:
    explicit UiSupport(QObject* parent = nullptr);

    // KELVANE_APPEARANCE "light" gives light, any other value dark; unset, the desktop's
    // palette decides.
    static bool darkFromEnvironment();

    bool dark() const { return dark_; }
    void setDark(bool dark);
    QColor accent() const;
    // The current time, ticking each second while the window is in front and each minute
    // behind it, so relative dates and days left stay true while a screen stays open. Texts
    // pass it to `relative` and `daysUntil`, which makes their bindings follow the ticks.
    QDateTime now() const { return now_; }
    // Tests drive the clock by hand.
    void setClock(std::function<QDateTime()> clock);
    Q_INVOKABLE void refreshNow();

    Q_INVOKABLE QString bytes(qint64 count) const;
    Q_INVOKABLE QString fileCount(qint64 count) const;
    // "1 group", "3 groups".
    Q_INVOKABLE QString counted(qint64 count, const QString& singular, const QString& plural) const;
    Q_INVOKABLE QString unreadableFolders(qint64 count) const;
    Q_INVOKABLE QString integer(qint64 count) const;
    Q_INVOKABLE QString date(const QDateTime& value) const;
    Q_INVOKABLE QString relative(const QDateTime& value, const QDateTime& now) const;
    Q_INVOKABLE QString percent(double fraction) const;
    Q_INVOKABLE QString shortPath(const QString& path) const;
    Q_INVOKABLE QString lastComponent(const QString& path) const;
    // Shows the file in the file manager, or opens its folder when no file manager answers.
    Q_INVOKABLE void reveal(const QString& path) const;
    QString homePath() const;
    // Whole days from `now` until `date`, negative when it has passed.
    Q_INVOKABLE int daysUntil(const QDateTime& date, const QDateTime& now) const;
    // The calendar's name of weekday 1 (Sunday) … 7.
    Q_INVOKABLE QString weekdayName(int weekday) const;
    // The treemap of `sizes` in a width × height area: one { index, x, y, width, height,
    // label } per tile, label being "none", "name" or "nameAndSize".
    Q_INVOKABLE QVariantList treemap(const QVariantList& sizes, double width, double height) const;
    // Builds one disk-map level of `path` in the background (60 children at most); answers
    // through folderMapped with the job's number. A stopped job answers nothing.
    Q_INVOKABLE int mapFolder(const QString& path);
    Q_INVOKABLE void stopMapping(int job);
    // A program of the application bundle is running.
    Q_INVOKABLE bool isRunning(const QString& bundlePath) const;
    // The folders inside `path` ({ name, path }), real folders only (no links), sorted as the
    // locale sorts names, numbers by value; names starting with "." only when `hidden`. A
    // folder that cannot be read has none.
    Q_INVOKABLE QVariantList subfolders(const QString& path, bool hidden) const;
    // A shortcut (a key sequence's text or a StandardKey) as the desktop writes it: "Ctrl+R".
    Q_INVOKABLE QString shortcutText(const QVariant& shortcut) const;
    // The folder holding `path`; "/" for "/".
    Q_INVOKABLE QString parentPath(const QString& path) const;
    // "." and ".." resolved, links kept.
    Q_INVOKABLE QString standardizedPath(const QString& path) const;

  signals:
    void darkChanged();
    void nowChanged();
    // `node` is { path, name, size, isDirectory, isCapped, children: [...] }, or null when
    // the path is not a folder.
    void folderMapped(int job, const QVariant& node);

  private:
    bool dark_;
    std::function<QDateTime()> clock_;
    QDateTime now_;
    int lastJob_ = 0;
    std::map<int, std::stop_source> jobs_;
    app::MainThreadQueue mainQueue_;
    // Last, so it goes first and waits for its walks.
    app::WorkerPool walkers_{2};
};

}  // namespace kelvane::ui
