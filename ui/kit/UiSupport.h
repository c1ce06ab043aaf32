#pragma once

// What the QML screens need from C++ beyond the controller: the formatting of sizes, counts,
// dates and paths (the core's Format), the appearance, and the file manager.

#include <QColor>
#include <QDateTime>
#include <QObject>
#include <QString>

namespace kelvane::ui {

class UiSupport : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool dark READ dark WRITE setDark NOTIFY darkChanged)
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QDateTime now READ now NOTIFY nowChanged)

  public:
    explicit UiSupport(QObject* parent = nullptr);

    // KELVANE_APPEARANCE "light" gives light, any other value dark; unset, the desktop's
    // palette decides.
    static bool darkFromEnvironment();

    bool dark() const { return dark_; }
    void setDark(bool dark);
    QColor accent() const;
    // The current time, ticking once a minute, so relative dates stay fresh.
    QDateTime now() const { return now_; }

    Q_INVOKABLE QString bytes(qint64 count) const;
    Q_INVOKABLE QString fileCount(qint64 count) const;
    Q_INVOKABLE QString integer(qint64 count) const;
    Q_INVOKABLE QString date(const QDateTime& value) const;
    Q_INVOKABLE QString relative(const QDateTime& value) const;
    Q_INVOKABLE QString percent(double fraction) const;
    Q_INVOKABLE QString shortPath(const QString& path) const;
    Q_INVOKABLE QString lastComponent(const QString& path) const;
    // Shows the file in the file manager, or opens its folder when no file manager answers.
    Q_INVOKABLE void reveal(const QString& path) const;

  signals:
    void darkChanged();
    void nowChanged();

  private:
    bool dark_;
    QDateTime now_;
};

}  // namespace kelvane::ui
