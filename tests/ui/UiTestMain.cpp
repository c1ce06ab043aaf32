// The QML screens under Qt Quick Test, over the real controller and a fixture home folder of
// their own, in a fixed locale and time zone.

#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AppState.h"
#include "kit/IconProvider.h"
#include "kit/UiSupport.h"

namespace {

std::atomic<bool> holding{false};

void writeFile(const std::filesystem::path& path, std::size_t bytes, int daysOld) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'k');
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * daysOld));
}

// Lets a test hold the next scan at its first progress report, and let it go.
class ScanHold : public QObject {
    Q_OBJECT
  public:
    Q_INVOKABLE void hold() { holding = true; }
    Q_INVOKABLE void release() { holding = false; }
};

// Lets a test add a file to the fixture home: `relative` is under the home folder.
class Fixture : public QObject {
    Q_OBJECT
  public:
    Q_INVOKABLE void writeFile(const QString& relative, int bytes, int daysOld) {
        ::writeFile(home() / relative.toStdString(), static_cast<std::size_t>(bytes), daysOld);
    }
    Q_INVOKABLE void writeText(const QString& relative, const QString& text) {
        const auto path = home() / relative.toStdString();
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text.toStdString();
    }
    Q_INVOKABLE void remove(const QString& relative) {
        std::error_code ignored;
        std::filesystem::remove_all(home() / relative.toStdString(), ignored);
    }

  private:
    static std::filesystem::path home() { return std::getenv("HOME"); }
};

// The screens' clock, moved on by hand: real time plus what a test has added.
class TestClock : public QObject {
    Q_OBJECT
  public:
    void attach(kelvane::ui::UiSupport* ui) {
        ui_ = ui;
        ui_->setClock([this] { return QDateTime::currentDateTimeUtc().addSecs(offset_); });
    }
    Q_INVOKABLE void advance(int seconds) {
        if (ui_ == nullptr) {
            return;
        }
        offset_ += seconds;
        ui_->refreshNow();
    }

  private:
    kelvane::ui::UiSupport* ui_ = nullptr;
    qint64 offset_ = 0;
};

class Setup : public QObject {
    Q_OBJECT
  public slots:
    void applicationAvailable() {
        ::setenv("TZ", "UTC", 1);
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale("en_US"), status);
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
        std::string base = std::filesystem::temp_directory_path() / "kelvane-ui-tests-XXXXXX";
        if (::mkdtemp(base.data()) == nullptr) {
            std::abort();
        }
        home_ = base;
        ::setenv("HOME", base.c_str(), 1);
        // Kelvane's folders follow the XDG variables: inside the temporary home too.
        ::setenv("XDG_CONFIG_HOME", (home_ / ".config").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home_ / ".local/share").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home_ / ".cache").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (home_ / ".local/state").c_str(), 1);
        ::setenv("XDG_CONFIG_DIRS", (home_ / "machine/etc/xdg").c_str(), 1);
        ::setenv("SYSTEMD_UNIT_PATH", (home_ / "machine/etc/systemd/user").c_str(), 1);
        ::setenv("TMPDIR", (home_ / "tmp").c_str(), 1);
        std::filesystem::create_directories(home_ / "tmp");
        // 200 old thumbnails (more than a group lists) and one old log.
        for (int i = 0; i < 200; ++i) {
            writeFile(home_ / ".cache/thumbnails/large" / ("t" + std::to_string(i) + ".png"), 5000,
                      40);
        }
        writeFile(home_ / ".local/state/app/run.log", 70'000, 20);
        writeFile(home_ / "Downloads/tool_1.0_amd64.deb", 9000, 40);
        writeFile(home_ / "Downloads/film.mkv", 3'000'000, 2);
        writeFile(home_ / "Downloads/talk.webm", 2'000'000, 2);
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            writeFile(home_ / "Media" / name, 1'500'000, 1);
        }
        // An application with a cache left behind.
        writeFile(home_ / "Applications/Notes Pro.app/Contents/MacOS/Notes Pro", 50'000, 5);
        std::ofstream(home_ / "Applications/Notes Pro.app/Contents/Info.plist")
            << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>org.example.notespro</string>"
               "<key>CFBundleName</key><string>Notes Pro</string>"
               "<key>CFBundleExecutable</key><string>Notes Pro</string></dict></plist>";

        kelvane::ControllerOptions options;
        options.progressProbe = [](std::string_view) {
            while (holding.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        };
        kelvane::AppState::setSharedOptions(std::move(options));
    }

    void qmlEngineAvailable(QQmlEngine* engine) {
        qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "App", &kelvane::AppState::shared());
        ::setenv("KELVANE_APPEARANCE", "light", 1);
        ui_ = new kelvane::ui::UiSupport(this);
        qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "Ui", ui_);
        qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "ScanHold", &hold_);
        clock_.attach(ui_);
        qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "TestClock", &clock_);
        qmlRegisterSingletonInstance("KelvaneCore", 1, 0, "Fixture", &fixture_);
        kelvane::ui::IconProvider::installAll(*engine);
        engine->addImportPath("qrc:/qt/qml");
    }

    void cleanupTestCase() {
        holding = false;
        std::error_code ignored;
        std::filesystem::remove_all(home_, ignored);
    }

  private:
    std::filesystem::path home_;
    kelvane::ui::UiSupport* ui_ = nullptr;
    ScanHold hold_;
    TestClock clock_;
    Fixture fixture_;
};

}  // namespace

QUICK_TEST_MAIN_WITH_SETUP(kelvane_ui, Setup)

#include "UiTestMain.moc"
