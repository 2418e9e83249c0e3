// Audio files through libsndfile: the input as a source of stereo blocks, the
// output written to a temporary file beside its name and renamed when complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct sf_private_tag;

namespace render {

// Where the renderer's input comes from: stereo blocks, mono duplicated.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int32_t sampleRate() const = 0;
    // Total frames, or -1 when unknown.
    virtual int64_t frames() const = 0;
    // Reads up to `count` frames into the two channels; answers how many were
    // read (0 at the end), or -1 on a read error.
    virtual int32_t read(float* left, float* right, int32_t count) = 0;
};

// Stereo audio held in memory (the built-in demo).
class BufferSource : public AudioSource {
public:
    BufferSource(std::vector<float> left, std::vector<float> right, int32_t rate);
    int32_t sampleRate() const override { return rate; }
    int64_t frames() const override { return static_cast<int64_t>(leftChannel.size()); }
    int32_t read(float* left, float* right, int32_t count) override;

private:
    std::vector<float> leftChannel;
    std::vector<float> rightChannel;
    int32_t rate;
    size_t position = 0;
};

// An audio file that libsndfile reads, mono or stereo.
class FileSource : public AudioSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // False with the reason when the file cannot be read or has more than two
    // channels.
    bool open(const std::string& path, std::string& error);
    int32_t channels() const { return channelCount; }
    int32_t sampleRate() const override { return rate; }
    int64_t frames() const override { return totalFrames; }
    int32_t read(float* left, float* right, int32_t count) override;

private:
    sf_private_tag* file = nullptr;
    int32_t channelCount = 0;
    int32_t rate = 0;
    int64_t totalFrames = -1;
    std::vector<float> interleaved;
};

// The libsndfile format for an output name: by extension (.wav float, .flac
// and .aiff 24-bit, .ogg Vorbis; float WAV without an extension). False with
// the reason for an extension it does not write.
bool outputFormatFor(const std::string& path, int& format, std::string& description,
                     std::string& error);

// A stereo output file, written to a temporary file beside `path` and moved
// to `path` by commit(); discarded (the temporary file removed) otherwise. A
// device or a pipe at `path` is written in place (no temporary file).
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open(const std::string& path, int format, int32_t sampleRate, std::string& error);
    bool write(const float* left, const float* right, int32_t count, std::string& error);
    // Closes the file and renames it over `path`.
    bool commit(std::string& error);
    // Closes and removes the temporary file.
    void discard();
    const std::string& temporaryPath() const { return temporary; }

private:
    sf_private_tag* file = nullptr;
    std::string target;
    std::string temporary;
    std::vector<float> interleaved;
};

// True when the two paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);

} // namespace render
