// quor-inspect --render as a whole process with no display at all: a picture of
// the sample station; onto a full disk, the system's reason, a failing status,
// and a file of that name left as it was; an output that is the model itself
// refused, and the model left as it was.
#include "tests/scratchdir.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "testfiles.h"

namespace {

const std::string kStation = QUOR_SOURCE_DIR "/data/station.3ds";

void WriteAll(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

struct Outcome {
    int status = -1;
    std::string err;
};

// Runs quor-inspect with `args` (already quoted) in `dir`, with no display in
// the environment; `limit` is a shell command run first (a file size limit).
Outcome Inspect(const ScratchDir &dir, const std::string &args, const std::string &limit = "") {
    const std::string err = dir.File("stderr");
    const std::string command = "cd " + Quoted(dir.Path()) + " && " + (limit.empty() ? "" : limit + " && ") +
                                "env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 " + Quoted(QUOR_INSPECT) + " " +
                                args + " </dev/null >/dev/null 2>" + Quoted(err);
    Outcome run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = ReadAll(err);
    return run;
}

// Draws the station into `picture`.
Outcome Render(const ScratchDir &dir, const std::string &picture, const std::string &limit = "") {
    return Inspect(dir, "--render " + Quoted(picture) + " --size 320x200 " + Quoted(kStation), limit);
}

unsigned BigEndian32(const std::string &bytes, size_t at) {
    unsigned value = 0;
    for (size_t i = at; i < at + 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

long long Free(const std::string &path) {
    struct statvfs fs {};
    return statvfs(path.c_str(), &fs) == 0 ? static_cast<long long>(fs.f_bavail) * fs.f_frsize : -1;
}

} // namespace

TEST(InspectRender, DrawsWithoutADisplay) {
    const ScratchDir dir;
    const std::string picture = dir.File("station.png");
    const Outcome run = Render(dir, picture);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string png = ReadAll(picture);
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_EQ(BigEndian32(png, 16), 320u);
    EXPECT_EQ(BigEndian32(png, 20), 200u);
}

TEST(InspectRender, OnAFullDiskFailsWithTheReasonAndKeepsTheOldFile) {
    const ScratchDir dir;
    const std::string sized = dir.File("sized.png");
    ASSERT_EQ(Render(dir, sized).status, 0);
    const long long size = static_cast<long long>(std::filesystem::file_size(sized));

    // A small disk of its own where the test may mount one, filled so that every
    // write but the picture's last fits; elsewhere a file size limit just short of it.
    const std::string disk = dir.File("disk");
    std::filesystem::create_directory(disk);
    const std::string options = "size=" + std::to_string(size + 256 * 1024);
    const bool mounted = mount("tmpfs", disk.c_str(), "tmpfs", 0, options.c_str()) == 0;
    const std::string picture = mounted ? disk + "/station.png" : dir.File("station.png");
    WriteAll(picture, "old picture");
    std::string limit;
    if (mounted) {
        long long room = size / 16384 * 16384;
        if (room == size)
            room -= 4096;
        WriteAll(disk + "/filler", std::string(static_cast<size_t>(Free(disk) - room), 'x'));
        ASSERT_EQ(Free(disk), room);
    } else {
        limit = "trap '' XFSZ && ulimit -f " + std::to_string((size - 1) / 512);
    }
    const Outcome run = Render(dir, picture, limit);
    const std::string reason = std::strerror(mounted ? ENOSPC : EFBIG);
    const std::string old = ReadAll(picture);
    std::vector<std::string> left;
    for (const auto &entry : std::filesystem::directory_iterator(mounted ? disk : dir.Path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    if (mounted)
        umount2(disk.c_str(), MNT_DETACH);

    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
    EXPECT_EQ(old, "old picture");
    if (mounted)
        EXPECT_EQ(left, (std::vector<std::string>{"filler", "station.png"}));
    else
        EXPECT_EQ(left, (std::vector<std::string>{"disk", "sized.png", "station.png", "stderr"}));
}

TEST(InspectRender, RefusesAnOutputThatIsTheModelAndWritesNothing) {
    const ScratchDir dir;
    const std::string model = dir.File("model.3ds");
    const std::string bytes = ReadAll(kStation);
    WriteAll(model, bytes);
    ASSERT_EQ(symlink("model.3ds", dir.File("symlink.png").c_str()), 0);
    ASSERT_EQ(link(model.c_str(), dir.File("hardlink.png").c_str()), 0);
    std::filesystem::create_directory(dir.File("sub"));
    struct Case {
        std::string output, args, reason; // args between the output and the model
    };
    const std::vector<Case> cases = {
        {"model.3ds", "", "is the input file"},
        {dir.File("sub/../model.3ds"), "", "is the input file"},
        {"symlink.png", "", "is the input file"},
        {"hardlink.png", "", "is the input file"},
        // Values refused before anything is drawn.
        {"", "", "bad value for --render"},
        {"new.png", "--size ' 64x64'", "bad value for --size"},
        {"new.png", "--size '64x 64'", "bad value for --size"},
    };
    for (const Case &c : cases) {
        WriteAll(model, bytes); // in place: the links stay links to it
        std::filesystem::remove(dir.File("new.png"));
        const Outcome run = Inspect(dir, "--render " + Quoted(c.output) + " " + c.args + " model.3ds");
        EXPECT_NE(run.status, 0) << c.output << " " << c.args;
        EXPECT_TRUE(run.status != -1 && run.status != 124) << c.output << ": killed or timed out";
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << c.output << " " << c.args << "\n" << run.err;
        EXPECT_TRUE(ReadAll(model) == bytes) << c.output << ": the model was changed";
        EXPECT_FALSE(std::filesystem::exists(dir.File("new.png"))) << c.args;
    }
}
