// Generates a synthetic home folder for the scanner benchmarks, and beside it a truth file
// listing the duplicate groups it made (one group a line: size, then the paths, tab-separated).
//
//   kelvane-bench-make-home DIR [--files N] [--folders N] [--dup-groups N] [--large N]
//
// Shape: mostly small files in a bushy tree of folders (documents, projects, sources), a few
// large files of real data, groups of identical 1–20 MiB files spread over several folders with
// same-size decoys that differ in the first 256 KiB or only after it, hard links, a link to a
// large folder and a link loop, and cache-like folders where the shipped rules look, with
// modification dates spread over three months. Deterministic for given arguments.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::mt19937_64 rng(20261210);

std::size_t uniform(std::size_t low, std::size_t high) {
    return low + static_cast<std::size_t>(rng() % (high - low + 1));
}

void fail(const std::string& what) {
    std::fprintf(stderr, "kelvane-bench-make-home: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

// Pseudo-random bytes from a seed: the same seed gives the same content.
void fillContent(std::vector<char>& buffer, std::uint64_t seed, std::size_t offset) {
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ULL + offset / 8 + 1;
    for (std::size_t i = 0; i + 8 <= buffer.size(); i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(buffer.data() + i, &x, 8);
    }
}

// A file of `size` bytes of seeded content; `flipAt` changes one byte there.
void writeFile(const std::string& path, std::size_t size, std::uint64_t seed,
               std::size_t flipAt = SIZE_MAX) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        fail(path);
    }
    std::vector<char> chunk(1 << 20);
    std::size_t written = 0;
    while (written < size) {
        fillContent(chunk, seed, written);
        const std::size_t n = std::min(chunk.size(), size - written);
        if (flipAt >= written && flipAt < written + n) {
            chunk[flipAt - written] ^= 0x5A;
        }
        if (::write(fd, chunk.data(), n) != static_cast<ssize_t>(n)) {
            fail(path);
        }
        written += n;
    }
    ::close(fd);
}

void writeSmall(const std::string& path, std::size_t size) {
    static const std::string text(65536, 'k');
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0) {
        fail(path);
    }
    if (size > 0 && ::write(fd, text.data(), size) != static_cast<ssize_t>(size)) {
        fail(path);
    }
    ::close(fd);
}

void setAgeDays(const std::string& path, double days) {
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec =
        static_cast<time_t>(static_cast<double>(std::time(nullptr)) - days * 86400);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void makeDirs(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    if (error) {
        fail(path);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: kelvane-bench-make-home DIR [--files N] [--folders N] "
                     "[--dup-groups N] [--large N]\n");
        return 2;
    }
    const std::string home = argv[1];
    long files = 300'000, folders = 20'000, dupGroups = 600, large = 8;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const long value = std::atol(argv[i + 1]);
        if (flag == "--files")
            files = value;
        else if (flag == "--folders")
            folders = value;
        else if (flag == "--dup-groups")
            dupGroups = value;
        else if (flag == "--large")
            large = value;
    }
    makeDirs(home);

    // Bulk: small files in a bushy tree under a few top-level areas.
    const std::vector<std::string> areas{"Documents",
                                         "Projects",
                                         "src",
                                         ".local/share/app-data",
                                         ".config",
                                         "Archive/old-projects",
                                         ".cache/fontconfig",
                                         ".cache/mozilla/firefox/p1.default/cache2/entries",
                                         ".cache/chromium/Default/Cache/Cache_Data",
                                         ".cache/pip/http-v2",
                                         ".cache/go-build",
                                         ".npm/_cacache/content-v2",
                                         ".local/share/Trash/files",
                                         ".cache/thumbnails/normal"};
    std::vector<std::string> made;
    for (const auto& area : areas) {
        made.push_back(home + "/" + area);
        makeDirs(made.back());
    }
    const bool cacheArea[] = {false, false, false, false, false, false, true,
                              true,  true,  true,  true,  true,  true,  true};
    std::vector<bool> isCache(cacheArea, cacheArea + areas.size());
    for (long i = 0; i < folders - static_cast<long>(areas.size()); ++i) {
        const auto parent = uniform(0, made.size() - 1);
        const auto path = made[parent] + "/" + ((i % 23 == 0) ? ".d" : "d") + std::to_string(i);
        if (::mkdir(path.c_str(), 0755) != 0) {
            fail(path);
        }
        made.push_back(path);
        isCache.push_back(isCache[parent]);
    }
    long written = 0;
    for (long i = 0; i < files; ++i) {
        const auto folder = uniform(0, made.size() - 1);
        const auto path =
            made[folder] + "/f" + std::to_string(i) + ((i % 7 == 0) ? ".log" : ".dat");
        writeSmall(path, uniform(0, 16'000));
        if (isCache[folder]) {
            setAgeDays(path, static_cast<double>(uniform(0, 90 * 24)) / 24.0);
        }
        ++written;
    }

    // Large files of real data.
    makeDirs(home + "/VMs");
    for (long i = 0; i < large; ++i) {
        writeFile(home + "/VMs/disk" + std::to_string(i) + ".raw", uniform(110, 260) << 20,
                  1'000'000 + static_cast<std::uint64_t>(i));
    }
    // A link to the large folder and a link loop: neither may be followed.
    ::symlink((home + "/VMs").c_str(), (home + "/vm-link").c_str());
    ::symlink("..", (home + "/Projects/loop").c_str());

    // Duplicate groups, their copies spread over folders that are not personal folders, with
    // decoys of the same size.
    const std::vector<std::string> places{"Archive/photos", "Backup/photos", "Downloads/dups",
                                          "Backup/2025", "Archive/media"};
    for (const auto& place : places) {
        makeDirs(home + "/" + place);
    }
    std::ofstream truth(home + ".truth");
    long hardLinked = 0;
    for (long g = 0; g < dupGroups; ++g) {
        // Mostly small sizes, a long tail up to 20 MiB.
        const double u = static_cast<double>(rng() % 1'000'000) / 1e6;
        const std::size_t size = (1u << 20) + static_cast<std::size_t>(std::pow(u, 6) * (19 << 20));
        const std::size_t copies = (g % 5 == 0) ? 3 : 2;
        const auto seed = static_cast<std::uint64_t>(g) + 1;
        truth << size;
        for (std::size_t c = 0; c < copies; ++c) {
            const auto path = home + "/" + places[(g + c) % places.size()] + "/g" +
                              std::to_string(g) + "-" + std::to_string(c) + ".bin";
            writeFile(path, size, seed);
            setAgeDays(path, static_cast<double>(c) + 1);
            truth << '\t' << path;
        }
        truth << '\n';
        if (g % 10 == 0) {
            // Decoys: one differs in the head, one only after it.
            writeFile(home + "/Archive/media/decoy-head-" + std::to_string(g) + ".bin", size, seed,
                      1000);
            writeFile(home + "/Archive/media/decoy-tail-" + std::to_string(g) + ".bin", size, seed,
                      size - 10);
        }
        if (g % 50 == 0) {
            // A hard link shares storage already and is never a duplicate to offer.
            const auto original = home + "/Archive/media/linked-" + std::to_string(g) + ".bin";
            writeFile(original, size, 5'000'000 + seed);
            if (::link(original.c_str(), (original + ".link").c_str()) == 0) {
                ++hardLinked;
            }
        }
    }

    // Rule folders the shipped catalogue looks at.
    makeDirs(home + "/Downloads");
    for (int i = 0; i < 20; ++i) {
        const auto path =
            home + "/Downloads/package-" + std::to_string(i) + (i % 2 ? ".deb" : ".iso");
        writeFile(path, uniform(1, 4) << 20, 9'000'000 + static_cast<std::uint64_t>(i));
        setAgeDays(path, static_cast<double>(uniform(1, 120)));
    }
    std::printf(
        "%ld small files in %zu folders, %ld large files, %ld duplicate groups, %ld hard "
        "links\n",
        written, made.size(), large, dupGroups, hardLinked);
    return 0;
}
