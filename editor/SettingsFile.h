// The one file the editor keeps: the user's zoom choice, remembered for the
// editors opened after it. On Linux $XDG_CONFIG_HOME/fumara/settings (or
// ~/.config/fumara/settings), on Windows %APPDATA%\Fumara\settings; a text
// file of "key = value" lines, of which the editor reads and writes "zoom".
//
// Nothing here ever fails the editor: a missing, unreadable or damaged file
// reads as "follow the desktop", and a file that cannot be written leaves the
// choice in effect for this process only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace settings {

// The value of an environment variable, or nothing when it is not set.
using Environment = std::function<std::optional<std::filesystem::path>(const char* name)>;

// The process's own environment (wide on Windows, so that any user name works).
std::optional<std::filesystem::path> processEnvironment(const char* name);

// Where the settings file lives, from the environment: XDG_CONFIG_HOME when it
// is an absolute path, else HOME/.config (Linux); APPDATA (Windows). Nothing
// when the environment names no usable folder.
std::optional<std::filesystem::path> settingsPath(const Environment& environment);

// The zoom the user chose (100, 150, 200 or 300), or 0 to follow the desktop:
// also for a missing, unreadable, oversized or damaged file and for a "zoom"
// line whose value is not one of the factors (or "auto").
int32_t readZoomChoice(const std::filesystem::path& file);

// Records a choice (0: follow the desktop again), keeping the file's other
// lines, in a new file moved into place so that a failed write leaves the old
// one intact. Creates the folder when needed. False when it cannot be written.
bool writeZoomChoice(const std::filesystem::path& file, int32_t percent);

// The editor's view of the choice: the file at the process's settings path,
// and in front of it the choice last made in this process, which holds even
// when the file could not be written. Used on the editor's thread.
class ZoomChoice {
public:
    // The choice for a new editor (0: follow the desktop).
    static int32_t load();
    // Remembers a choice; false when only this process remembers it.
    static bool store(int32_t percent);
    // Forgets the choice made in this process (the file alone decides again).
    static void forgetProcessChoice();
};

} // namespace settings
