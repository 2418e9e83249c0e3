// A named pipe in a folder of its own, read to its end by a thread: for tests
// of writers that must write into such a target rather than replace it.
#pragma once

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

class PipeReader {
public:
    explicit PipeReader(const std::string& name)
        : folder(std::filesystem::temp_directory_path() /
                 ("fumara-pipe-" + std::to_string(::getpid()) + "-" + name)),
          path((folder / name).string()) {
        std::filesystem::create_directories(folder);
        ::mkfifo(path.c_str(), 0600);
        // Opened before any writer, without waiting for one; read until the
        // writer closes its end, or for ten seconds if none ever comes.
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
        reader = std::thread([this] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            pollfd p{fd, POLLIN, 0};
            char chunk[4096];
            while (fd >= 0 && std::chrono::steady_clock::now() < deadline) {
                if (::poll(&p, 1, 50) <= 0) {
                    continue;
                }
                const ssize_t n = ::read(fd, chunk, sizeof chunk);
                if (n > 0) {
                    bytes.append(chunk, static_cast<size_t>(n));
                } else if (n == 0 || !(p.revents & POLLIN)) {
                    break;
                }
            }
        });
    }
    ~PipeReader() {
        finish();
        std::filesystem::remove_all(folder);
    }

    // Everything the writer wrote, once it has closed the pipe.
    const std::string& finish() {
        if (reader.joinable()) {
            reader.join();
            ::close(fd);
        }
        return bytes;
    }
    // Whether the path still names the pipe (not a file moved over it).
    bool stillAPipe() const {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
    }

    const std::filesystem::path folder;
    const std::string path;

private:
    int fd = -1;
    std::string bytes;
    std::thread reader;
};
