// Generates a synthetic tree for the benchmarks: `folders` folders spread over a few levels,
// `filesPerFolder` small files in each (sizes varying from empty to a few blocks), some hidden
// entries and links. Deterministic for a given seed.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: kelvane-bench-make-tree DIR FOLDERS FILES_PER_FOLDER\n");
        return 2;
    }
    const std::string root = argv[1];
    const long folders = std::atol(argv[2]);
    const long filesPerFolder = std::atol(argv[3]);
    std::mt19937 random(42);
    std::vector<char> data(16384, 'k');

    ::mkdir(root.c_str(), 0755);
    std::vector<std::string> made{root};
    long entries = 0;
    for (long i = 0; i < folders; ++i) {
        // Each new folder goes under a random earlier one, which gives a bushy tree a few to a
        // dozen levels deep.
        const auto& parent = made[random() % made.size()];
        std::string folder = parent + "/" + ((i % 17 == 0) ? ".d" : "d") + std::to_string(i);
        if (::mkdir(folder.c_str(), 0755) != 0) {
            std::perror(folder.c_str());
            return 1;
        }
        ++entries;
        for (long f = 0; f < filesPerFolder; ++f) {
            const std::string file =
                folder + "/f" + std::to_string(f) + ((f % 5 == 0) ? ".log" : ".dat");
            const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd < 0) {
                std::perror(file.c_str());
                return 1;
            }
            const std::size_t size = random() % data.size();
            if (::write(fd, data.data(), size) < 0) {
                std::perror(file.c_str());
                return 1;
            }
            ::close(fd);
            ++entries;
        }
        if (i % 101 == 0) {
            const std::string link = folder + "/link-up";
            if (::symlink("..", link.c_str()) == 0) {
                ++entries;
            }
        }
        made.push_back(std::move(folder));
    }
    std::printf("%ld entries\n", entries);
    return 0;
}
