// The editor's settings file: where it lives, what it reads from good,
// missing and damaged files, how it writes (and fails to write) a choice,
// and the choice an editor of this process sees.
#include "editor/SettingsFile.h"

#include "tests/support/Environment.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <string>

namespace fs = std::filesystem;
using namespace settings;

namespace {

std::string contentOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(testing::TempDir()) /
               ("fumara-settings-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        fs::create_directories(root);
        file = root / "fumara" / "settings";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    // Files other than the settings file in its folder (left-over partial writes).
    int strayFiles() const {
        int n = 0;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(file.parent_path(), ignored)) {
            n += entry.path().filename() != file.filename();
        }
        return n;
    }

    fs::path root, file;
};

} // namespace

TEST(SettingsPath, FromTheEnvironment) {
    using Map = std::map<std::string, std::string>;
    auto lookup = [](const Map& m) {
        return [m](const char* name) -> std::optional<fs::path> {
            auto it = m.find(name);
            return it == m.end() ? std::nullopt : std::optional<fs::path>(it->second);
        };
    };
#if defined(_WIN32)
    EXPECT_EQ(settingsPath(lookup({{"APPDATA", "C:\\Users\\u\\AppData\\Roaming"}})),
              fs::path("C:\\Users\\u\\AppData\\Roaming\\Fumara\\settings"));
    EXPECT_EQ(settingsPath(lookup({{"APPDATA", "relative"}})), std::nullopt);
    EXPECT_EQ(settingsPath(lookup({{"HOME", "C:\\Users\\u"}})), std::nullopt);
#else
    const struct {
        Map environment;
        std::optional<fs::path> path;
    } cases[] = {
        {{{"XDG_CONFIG_HOME", "/x/conf"}, {"HOME", "/home/u"}},
         fs::path("/x/conf/fumara/settings")},
        {{{"HOME", "/home/u"}}, fs::path("/home/u/.config/fumara/settings")},
        // A relative XDG_CONFIG_HOME is ignored; HOME takes over.
        {{{"XDG_CONFIG_HOME", "conf"}, {"HOME", "/home/u"}},
         fs::path("/home/u/.config/fumara/settings")},
        {{{"XDG_CONFIG_HOME", "conf"}}, std::nullopt},
        {{{"HOME", "relative"}}, std::nullopt},
        {{}, std::nullopt},
        {{{"APPDATA", "/appdata"}}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(settingsPath(lookup(c.environment)), c.path);
    }
#endif
    EXPECT_EQ(settingsPath(Environment()), std::nullopt);
}

TEST_F(SettingsFileTest, ReadsTheChoiceAndTakesEverythingElseAsFollowTheDesktop) {
    EXPECT_EQ(readZoomChoice(file), 0); // absent
    const struct {
        std::string content;
        int32_t zoom;
    } cases[] = {
        {"zoom = 200\n", 200},
        {"zoom=150", 150},
        {"  zoom\t=  300  \r\n", 300},
        {"# a comment\nother = 1\nzoom = 100\n", 100},
        {"zoom = 200\nzoom = 150\n", 150}, // the last line counts
        {"zoom = auto\n", 0},
        {"zoom = 175\n", 0},
        {"zoom = 200x\n", 0},
        {"zoom = 2\n", 0},
        {"zoom = -200\n", 0},
        {"zoom = \n", 0},
        {"zoom 200\n", 0},
        {"Zoom = 200\n", 0},
        {"# zoom = 200\n", 0},
        {"", 0},
        {std::string("zoom = 200\n\0\x01\xff", 15), 0}, // not text
        {"zoom = 200\n" + std::string(70000, 'x'), 0},  // not ours: too long
    };
    for (const auto& c : cases) {
        writeFile(file, c.content);
        EXPECT_EQ(readZoomChoice(file), c.zoom) << c.content.substr(0, 40);
    }
    // A folder where the file should be.
    fs::remove(file);
    fs::create_directories(file);
    EXPECT_EQ(readZoomChoice(file), 0);
}

TEST_F(SettingsFileTest, WritesEveryChoiceKeepingTheOtherLines) {
    for (int32_t zoom : {100, 150, 200, 300, 0}) {
        ASSERT_TRUE(writeZoomChoice(file, zoom)) << zoom; // the folder is made the first time
        EXPECT_EQ(readZoomChoice(file), zoom);
    }
    EXPECT_EQ(contentOf(file), "# Fumara's settings, kept by its editor.\nzoom = auto\n");
    writeFile(file, "# mine\ncolour = red\nzoom = 150\n\nzoom = 300\nsize = 2\n");
    ASSERT_TRUE(writeZoomChoice(file, 200));
    EXPECT_EQ(contentOf(file), "# mine\ncolour = red\nzoom = 200\n\nsize = 2\n");
    // A value that is no factor is written as following the desktop.
    ASSERT_TRUE(writeZoomChoice(file, 175));
    EXPECT_EQ(readZoomChoice(file), 0);
    EXPECT_EQ(strayFiles(), 0);
}

TEST_F(SettingsFileTest, ADamagedFileIsReplacedByAGoodOne) {
    writeFile(file, std::string("\x89PNG\r\n\x1a\n\0\0\0", 11));
    ASSERT_TRUE(writeZoomChoice(file, 300));
    EXPECT_EQ(readZoomChoice(file), 300);
    EXPECT_EQ(contentOf(file), "# Fumara's settings, kept by its editor.\nzoom = 300\n");
}

TEST_F(SettingsFileTest, AFileThatCannotBeWrittenIsReportedAndLeftAlone) {
    // The settings folder's place is taken by a plain file: no folder, no file.
    writeFile(root / "blocked", "not a folder");
    EXPECT_FALSE(writeZoomChoice(root / "blocked" / "settings", 200));
    EXPECT_EQ(contentOf(root / "blocked"), "not a folder");
    EXPECT_EQ(readZoomChoice(root / "blocked" / "settings"), 0);
    // The file's place is taken by a folder: the write fails, the folder stays.
    fs::create_directories(file / "inside");
    EXPECT_FALSE(writeZoomChoice(file, 200));
    EXPECT_TRUE(fs::is_directory(file / "inside"));
    EXPECT_EQ(strayFiles(), 0);
}

TEST_F(SettingsFileTest, TheProcessKeepsAChoiceTheFileCouldNotTake) {
#if defined(_WIN32)
    const char* variable = "APPDATA";
    const fs::path own = root / "Fumara" / "settings";
#else
    const char* variable = "XDG_CONFIG_HOME";
    const fs::path own = root / "fumara" / "settings";
#endif
    const auto saved = processEnvironment(variable);
    ZoomChoice::forgetProcessChoice();
    setVariable(variable, root.string());
    EXPECT_EQ(ZoomChoice::load(), 0); // no file: follow the desktop
    writeFile(own, "zoom = 150\n");
    EXPECT_EQ(ZoomChoice::load(), 150);
    EXPECT_TRUE(ZoomChoice::store(300));
    EXPECT_EQ(readZoomChoice(own), 300);
    EXPECT_EQ(ZoomChoice::load(), 300);

    // Unwritable: the choice still holds for the editors of this process.
    fs::remove_all(root);
    writeFile(root / "file", "x");
    setVariable(variable, (root / "file").string());
    EXPECT_FALSE(ZoomChoice::store(200));
    EXPECT_EQ(ZoomChoice::load(), 200);
    ZoomChoice::forgetProcessChoice();
    EXPECT_EQ(ZoomChoice::load(), 0);

    setVariable(variable, saved ? saved->string() : std::string());
}
