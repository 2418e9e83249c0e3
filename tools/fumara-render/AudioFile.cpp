// The input read as stereo blocks, the output's format chosen by its extension and written to
// a temporary file renamed when complete, and whether two paths name the same file.
#include "tools/fumara-render/AudioFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <sys/stat.h>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace render {

namespace {

std::string lowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) ||
        dot == (slash == std::string::npos ? 0 : slash + 1)) {
        return "";
    }
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext;
}

// The temporary name beside the output: same folder, hidden, unique per process.
std::string temporaryNameFor(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + base + ".fumara-render-" + std::to_string(getpid()) + ".tmp";
}

// Whether `path` names something that exists and is not a regular file (a
// device such as /dev/null, a pipe). Such a target is written in place:
// renaming a finished file over it would replace the device or the pipe.
bool isSpecialFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

} // namespace

BufferSource::BufferSource(std::vector<float> left, std::vector<float> right, int32_t rate)
    : leftChannel(std::move(left)), rightChannel(std::move(right)), rate(rate) {
    rightChannel.resize(leftChannel.size(), 0.0f);
}

int32_t BufferSource::read(float* left, float* right, int32_t count) {
    const size_t n = std::min(leftChannel.size() - position, static_cast<size_t>(count));
    std::copy_n(leftChannel.data() + position, n, left);
    std::copy_n(rightChannel.data() + position, n, right);
    position += n;
    return static_cast<int32_t>(n);
}

FileSource::~FileSource() {
    if (file) {
        sf_close(file);
    }
}

bool FileSource::open(const std::string& path, std::string& error) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR) {
        error = "is a folder, not an audio file";
        return false;
    }
    SF_INFO format{};
    file = sf_open(path.c_str(), SFM_READ, &format);
    if (!file) {
        if (stat(path.c_str(), &info) != 0) {
            error = std::strerror(errno);
        } else {
            error = std::string("unsupported or damaged audio file (") + sf_strerror(nullptr) + ")";
        }
        return false;
    }
    if (format.channels < 1 || format.channels > 2) {
        error = "has " + std::to_string(format.channels) +
                " channels; only mono and stereo input can be rendered";
        sf_close(file);
        file = nullptr;
        return false;
    }
    if (format.samplerate < 1) {
        error = "has no usable sample rate";
        sf_close(file);
        file = nullptr;
        return false;
    }
    channelCount = format.channels;
    rate = format.samplerate;
    totalFrames = format.frames >= 0 ? static_cast<int64_t>(format.frames) : -1;
    return true;
}

int32_t FileSource::read(float* left, float* right, int32_t count) {
    if (!file || count <= 0) {
        return 0;
    }
    interleaved.resize(static_cast<size_t>(count) * static_cast<size_t>(channelCount));
    const sf_count_t got = sf_readf_float(file, interleaved.data(), count);
    if (got < 0) {
        return -1;
    }
    if (got == 0 && sf_error(file) != SF_ERR_NO_ERROR) {
        return -1;
    }
    for (sf_count_t i = 0; i < got; ++i) {
        if (channelCount == 1) {
            left[i] = right[i] = interleaved[static_cast<size_t>(i)];
        } else {
            left[i] = interleaved[static_cast<size_t>(2 * i)];
            right[i] = interleaved[static_cast<size_t>(2 * i + 1)];
        }
    }
    return static_cast<int32_t>(got);
}

bool outputFormatFor(const std::string& path, int& format, std::string& description,
                     std::string& error) {
    const std::string ext = lowerExtension(path);
    if (ext.empty() || ext == "wav" || ext == "wave") {
        format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        description = "32-bit float WAV";
    } else if (ext == "flac") {
        format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
        description = "24-bit FLAC";
    } else if (ext == "aif" || ext == "aiff") {
        format = SF_FORMAT_AIFF | SF_FORMAT_PCM_24;
        description = "24-bit AIFF";
    } else if (ext == "ogg" || ext == "oga") {
        format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        description = "Ogg Vorbis";
    } else {
        error = "unsupported output format \"." + ext + "\" (use .wav, .flac, .aiff or .ogg)";
        return false;
    }
    return true;
}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::open(const std::string& path, int format, int32_t sampleRate, std::string& error) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = format;
    if (!sf_format_check(&info)) {
        error = "this format cannot hold stereo audio at " + std::to_string(sampleRate) + " Hz";
        return false;
    }
    target = path;
    temporary = isSpecialFile(path) ? "" : temporaryNameFor(path);
    file = sf_open((temporary.empty() ? target : temporary).c_str(), SFM_WRITE, &info);
    if (!file) {
        error = std::string("cannot write: ") + sf_strerror(nullptr);
        std::remove(temporary.c_str());
        temporary.clear();
        return false;
    }
    // Integer formats clip what lies beyond full scale instead of wrapping it.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool OutputFile::write(const float* left, const float* right, int32_t count, std::string& error) {
    if (!file) {
        error = "not open";
        return false;
    }
    interleaved.resize(static_cast<size_t>(count) * 2);
    for (int32_t i = 0; i < count; ++i) {
        interleaved[static_cast<size_t>(2 * i)] = left[i];
        interleaved[static_cast<size_t>(2 * i + 1)] = right[i];
    }
    if (sf_writef_float(file, interleaved.data(), count) != count) {
        error = std::string("write failed: ") + sf_strerror(file);
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string& error) {
    if (!file) {
        error = "not open";
        return false;
    }
    sf_write_sync(file);
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0) {
        error = std::string("cannot finish the file: ") + sf_error_number(closed);
        discard();
        return false;
    }
    if (temporary.empty()) {
        return true; // written in place
    }
#if defined(_WIN32)
    const bool moved = MoveFileExA(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    const std::string reason = moved ? "" : "error " + std::to_string(GetLastError());
#else
    const bool moved = std::rename(temporary.c_str(), target.c_str()) == 0;
    const std::string reason = moved ? "" : std::strerror(errno);
#endif
    if (!moved) {
        error = "cannot move the finished file into place: " + reason;
        discard();
        return false;
    }
    temporary.clear();
    return true;
}

void OutputFile::discard() {
    if (file) {
        sf_close(file);
        file = nullptr;
    }
    if (!temporary.empty()) {
        std::remove(temporary.c_str());
        temporary.clear();
    }
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) {
        return false;
    }
#if defined(_WIN32)
    // No inode numbers: compare the paths as given.
    return a == b;
#else
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
#endif
}

} // namespace render
