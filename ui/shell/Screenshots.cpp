#include "Screenshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "../kit/UiSupport.h"
#include "files/AppPaths.h"

namespace kelvane::ui::screenshots {

namespace {

std::atomic<bool> holding{false};
std::atomic<int> reports{0};

void writeFile(const std::filesystem::path& path, std::size_t bytes, int daysOld) {
    std::filesystem::create_directories(path.parent_path());
    {
        std::ofstream out(path, std::ios::binary);
        std::string block(4096, '\0');
        for (std::size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>((i * 131 + bytes) % 251);
        }
        for (std::size_t written = 0; written < bytes; written += block.size()) {
            out.write(block.data(),
                      static_cast<std::streamsize>(std::min(block.size(), bytes - written)));
        }
    }
    const auto when =
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * daysOld);
    std::filesystem::last_write_time(path, when);
}

// Real blocks without writing them, so a large file costs no time.
void allocateFile(const std::filesystem::path& path, off_t bytes) {
    std::filesystem::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const int result = ::posix_fallocate(fd, 0, bytes);
        ::close(fd);
    }
}

}  // namespace

void prepareHome() {
    std::string base = std::filesystem::temp_directory_path() / "kelvane-screenshots-XXXXXX";
    if (::mkdtemp(base.data()) == nullptr) {
        std::perror("kelvane: mkdtemp");
        std::exit(1);
    }
    ::setenv("HOME", base.c_str(), 1);
    const std::filesystem::path home(base);
    ::setenv("TMPDIR", (home / "tmp").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home / ".local/state").c_str(), 1);
    // The machine's own autostart entries and user units are not part of the pictures.
    ::setenv("XDG_CONFIG_DIRS", (home / "machine/etc/xdg").c_str(), 1);
    ::setenv("SYSTEMD_UNIT_PATH", (home / "machine/etc/systemd/user").c_str(), 1);
    std::filesystem::create_directories(home / "tmp");

    for (int i = 0; i < 24; ++i) {
        writeFile(home / ".cache/thumbnails/large" / ("thumb-" + std::to_string(i) + ".png"),
                  40'000 + static_cast<std::size_t>(i) * 3'000, 45);
    }
    writeFile(home / ".cache/fontconfig/cache-1", 900'000, 60);
    writeFile(home / ".cache/electron-app/blob", 2'400'000, 50);
    writeFile(home / ".cache/mozilla/firefox/abc.default/cache2/entries/A1", 3'200'000, 10);
    writeFile(home / ".cache/mozilla/firefox/abc.default/cache2/entries/B2", 1'100'000, 12);
    writeFile(home / ".local/state/app/session.log", 350'000, 20);
    writeFile(home / ".local/state/app/session.log.1", 520'000, 21);
    writeFile(home / ".local/share/Trash/files/old-notes.txt", 64'000, 3);
    writeFile(home / ".local/share/Trash/info/old-notes.txt.trashinfo", 200, 3);
    writeFile(home / "Downloads/tool_1.2_amd64.deb", 6'400'000, 90);
    writeFile(home / "Downloads/setup.part", 800'000, 14);
    writeFile(home / "Downloads/photo-a.jpg", 2'200'000, 5);
    std::filesystem::copy_file(home / "Downloads/photo-a.jpg", home / "Downloads/photo-a copy.jpg");
    allocateFile(home / "Downloads/disk-image.iso", 180LL * 1024 * 1024);
    allocateFile(home / "Downloads/lecture.mkv", 130LL * 1024 * 1024);
    // Login items: two of the user's, one of them switched off, and a machine-wide one is
    // not possible here (that folder belongs to the system).
    const auto agent = [](const std::filesystem::path& path, const std::string& label,
                          const std::string& program) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<plist version=\"1.0\"><dict><key>Label</key><string>"
                            << label << "</string><key>Program</key><string>" << program
                            << "</string><key>RunAtLoad</key><true/></dict></plist>\n";
    };
    agent(home / "Library/LaunchAgents/org.example.sync.plist", "org.example.sync",
          "/opt/sync/bin/sync-agent");
    agent(home / "Library/LaunchAgents/com.example.updater.plist", "com.example.updater",
          (home / ".local/bin/updater").string());
    agent(std::filesystem::path(AppPaths::disabledAgentsDirectory()) / "net.example.chat.plist",
          "net.example.chat", "/usr/bin/chat-helper");
    // An application with leftovers.
    const auto bundle = home / "Applications/Notes Pro.app";
    writeFile(bundle / "Contents/MacOS/Notes Pro", 3'200'000, 30);
    std::filesystem::create_directories(bundle / "Contents");
    std::ofstream(bundle / "Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleIdentifier</key><string>org.example.notespro</string>"
           "<key>CFBundleName</key><string>Notes Pro</string>"
           "<key>CFBundleShortVersionString</key><string>4.2</string>"
           "<key>CFBundleExecutable</key><string>Notes Pro</string></dict></plist>\n";
    writeFile(home / "Library/Caches/org.example.notespro/cache.db", 900'000, 3);
    writeFile(home / "Library/Preferences/org.example.notespro.plist", 4'000, 3);
    for (int i = 0; i < 600; ++i) {
        writeFile(home / "Projects/site/assets" / ("f" + std::to_string(i)), 100, 1);
    }
}

ControllerOptions controllerOptions() {
    ControllerOptions options;
    options.progressProbe = [](std::string_view) {
        if (++reports < 3) {
            return;
        }
        while (holding.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    return options;
}

namespace {

struct Shot {
    std::function<void()> prepare;
    QString name;  // without the extension; empty for a step that takes no picture
};

QObject* screen(QQuickWindow& window, const char* name) {
    return window.findChild<QObject*>(name);
}

}  // namespace

void run(QQuickWindow& window, AppState& state, UiSupport& ui, const QString& outDir) {
    QDir().mkpath(outDir);
    auto shots = std::make_shared<std::vector<Shot>>();
    const auto both = [&](std::function<void()> prepare, const QString& section,
                          const QString& stateName) {
        for (const bool dark : {false, true}) {
            shots->push_back({[prepare, &ui, dark] {
                                  ui.setDark(dark);
                                  prepare();
                              },
                              section + (dark ? "-dark" : "-light") +
                                  (stateName.isEmpty() ? "" : "-" + stateName)});
        }
    };
    const auto show = [&state](AppSection section) {
        return [&state, section] { state.setSection(section); };
    };
    // Shows the section, then, once its screen exists (after `delay` ms), acts on it.
    const auto showThen = [&state, &window](AppSection section, const char* name, int delay,
                                            std::function<void(QObject&)> act) {
        return [&state, &window, section, name, delay, act] {
            state.setSection(section);
            QTimer::singleShot(delay, [&window, name, act] {
                if (auto* found = screen(window, name)) {
                    act(*found);
                }
            });
        };
    };

    both(show(AppSection::overview), "overview", "");
    both(show(AppSection::junk), "junk", "");
    both(show(AppSection::largeFiles), "largeFiles", "");
    both(show(AppSection::duplicates), "duplicates", "");
    shots->push_back({[&state] {
                          holding = true;
                          reports = 0;
                          state.runScan(false);
                      },
                      {}});
    both(show(AppSection::overview), "overview", "scanning");
    both(show(AppSection::junk), "junk", "scanning");
    shots->push_back({[&state] {
                          holding = false;
                          state.runLargeScan();
                          state.runDuplicateScan();
                      },
                      {}});
    shots->push_back({[] {}, {}});  // the scans finish meanwhile
    both(show(AppSection::overview), "overview", "results");
    both(show(AppSection::junk), "junk", "results");
    both(showThen(AppSection::junk, "junkScreen", 0,
                  [&window](QObject& junk) {
                      junk.setProperty("expandedGroup", "system");
                      // Down to the unfolded list.
                      QTimer::singleShot(200, [&window] {
                          if (auto* scroller = screen(window, "pageScroller")) {
                              scroller->setProperty("contentY", 640);
                          }
                      });
                  }),
         "junk", "expanded");
    both(showThen(AppSection::junk, "junkScreen", 0,
                  [](QObject& junk) { junk.setProperty("showConfirm", true); }),
         "junk", "sheet");
    shots->push_back({[&state] {
                          holding = true;
                          reports = 0;
                          state.setSection(AppSection::overview);
                          state.setScanMode(ScanMode::deep);
                          state.runDeepScan();
                      },
                      {}});
    both(show(AppSection::overview), "overview", "deep");
    shots->push_back({[&state] {
                          state.cancelScan();
                          holding = false;
                          state.setScanMode(ScanMode::quick);
                      },
                      {}});
    both(show(AppSection::largeFiles), "largeFiles", "results");
    both(show(AppSection::duplicates), "duplicates", "results");
    both(showThen(AppSection::duplicates, "duplicatesScreen", 0,
                  [](QObject& duplicates) {
                      QMetaObject::invokeMethod(&duplicates, "selectAllExtraCopies");
                  }),
         "duplicates", "selected");
    const auto firstApp = [&state] {
        return QVariant(state.installedApps().empty()
                            ? QString()
                            : QString::fromStdString(state.installedApps().front().path));
    };
    both(show(AppSection::uninstall), "uninstall", "");
    both(showThen(AppSection::uninstall, "uninstallScreen", 300,
                  [firstApp](QObject& uninstall) {
                      QMetaObject::invokeMethod(&uninstall, "selectApp",
                                                Q_ARG(QVariant, firstApp()));
                  }),
         "uninstall", "selected");
    both(showThen(AppSection::uninstall, "uninstallScreen", 300,
                  [firstApp](QObject& uninstall) {
                      QMetaObject::invokeMethod(&uninstall, "selectApp",
                                                Q_ARG(QVariant, firstApp()));
                      QMetaObject::invokeMethod(&uninstall, "prepare",
                                                Q_ARG(QVariant, uninstall.property("selected")));
                  }),
         "uninstall", "sheet");
    both(show(AppSection::diskMap), "diskMap", "");
    both(show(AppSection::startup), "startup", "");
    both(show(AppSection::quarantine), "quarantine", "");
    shots->push_back({[&state] { state.cleanAllJunk(); }, {}});
    shots->push_back({[] {}, {}});
    both(show(AppSection::quarantine), "quarantine", "batch");
    both(showThen(AppSection::quarantine, "quarantineScreen", 0,
                  [&state](QObject& quarantine) {
                      if (state.batches().empty()) {
                          return;
                      }
                      QVariantMap open;
                      open.insert(QString::fromStdString(state.batches().front().id), true);
                      quarantine.setProperty("expanded", open);
                  }),
         "quarantine", "expanded");
    both(showThen(
             AppSection::quarantine, "quarantineScreen", 0,
             [&state](QObject& quarantine) {
                 if (state.batches().empty()) {
                     return;
                 }
                 const auto& batch = state.batches().front();
                 quarantine.setProperty(
                     "pendingDelete",
                     QVariantMap{
                         {"batchID", QString::fromStdString(batch.id)},
                         {"remainingCount", static_cast<int>(batch.remainingItems().size())},
                         {"remainingBytes", QVariant::fromValue<qint64>(batch.remainingBytes())}});
             }),
         "quarantine", "alert");
    shots->push_back({[&state] {
                          state.setScheduleMode("weekly");
                          state.setScheduleTime(9, 30);
                          state.addIgnore(std::string(std::getenv("HOME")) + "/Projects");
                      },
                      {}});
    both(show(AppSection::settings), "settings", "");
    for (const char* tab : {"safety", "about"}) {
        both(showThen(AppSection::settings, "settingsScreen", 0,
                      [tab](QObject& settings) { settings.setProperty("tab", tab); }),
             "settings", tab);
    }

    auto next = std::make_shared<std::function<void(std::size_t)>>();
    *next = [shots, next, &window, outDir](std::size_t index) {
        if (index >= shots->size()) {
            QCoreApplication::quit();
            return;
        }
        (*shots)[index].prepare();
        // Long enough for the section and chart animations to settle.
        QTimer::singleShot(900, [shots, next, &window, outDir, index] {
            const auto& name = (*shots)[index].name;
            if (!name.isEmpty()) {
                const auto path = outDir + "/" + name + ".png";
                if (!window.grabWindow().save(path)) {
                    std::fprintf(stderr, "kelvane: could not write %s\n", qPrintable(path));
                }
            }
            (*next)(index + 1);
        });
    };
    QTimer::singleShot(500, [next] { (*next)(0); });
}

}  // namespace kelvane::ui::screenshots
