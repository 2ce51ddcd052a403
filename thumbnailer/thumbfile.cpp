#include "thumbfile.h"

#include "framework/cmdline.h"

#include <png.h>

#include <cerrno>
#include <climits>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {
// Read by the signal handlers; changed only while those signals are blocked.
char g_outputPath[PATH_MAX + 1];
int g_outputFd = -1;
bool g_outputCreated = false;
volatile sig_atomic_t g_writing = 0;
char g_timeoutMessage[PATH_MAX + 128];
size_t g_timeoutMessageLength = 0;
mode_t g_fileMode = 0644;

constexpr int kHandled[] = {SIGALRM, SIGTERM, SIGINT, SIGHUP};

// A half-written picture goes: the file made for it, or the contents of the
// file that was there. Safe in a signal handler.
void UndoOutput() {
    if (g_outputCreated)
        unlink(g_outputPath);
    else if (ftruncate(g_outputFd, 0) != 0)
        return; // nothing more a signal handler can do
}

void UndoOutputAfterClose() {
    if (g_outputCreated) {
        unlink(g_outputPath);
    } else {
        const int fd = open(g_outputPath, O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0)
            close(fd);
    }
}

void RemoveTempFromHandler() {
    if (g_writing)
        UndoOutput();
}

void OnTimeLimit(int) {
    RemoveTempFromHandler();
    ssize_t ignored = write(STDERR_FILENO, g_timeoutMessage, g_timeoutMessageLength);
    (void)ignored;
    _exit(1);
}

void OnKill(int signal) {
    RemoveTempFromHandler();
    _exit(128 + signal);
}

std::string FolderOf(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

struct PngFailure {
    char text[256] = "";
};

void OnPngError(png_structp png, png_const_charp message) {
    auto *failure = static_cast<PngFailure *>(png_get_error_ptr(png));
    std::snprintf(failure->text, sizeof failure->text, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void AppendToPng(png_structp png, png_bytep data, png_size_t length) {
    auto *bytes = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
    try {
        bytes->insert(bytes->end(), data, data + length);
    } catch (const std::bad_alloc &) {
        png_error(png, "out of memory");
    }
}

void FlushPng(png_structp) {}

// Only plain data lives in this frame: libpng leaves it by longjmp on errors.
bool EncodePng(std::vector<uint8_t> &bytes, png_bytep *rows, int size, PngFailure &failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, OnPngError, OnPngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &bytes, AppendToPng, FlushPng);
    // Thumbnails are written often and read once: speed over size.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
                 PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
} // namespace

WatchdogSignalsHeld::WatchdogSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kHandled)
        sigaddset(&set, s);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

WatchdogSignalsHeld::~WatchdogSignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void StartWatchdog(double seconds, const std::string &message) {
    std::snprintf(g_timeoutMessage, sizeof g_timeoutMessage, "%s\n", message.c_str());
    g_timeoutMessageLength = std::strlen(g_timeoutMessage);
    const mode_t mask = umask(0);
    umask(mask);
    g_fileMode = 0666 & ~mask;

    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    for (int s : kHandled)
        sigaddset(&action.sa_mask, s);
    for (int s : kHandled) {
        action.sa_handler = s == SIGALRM ? OnTimeLimit : OnKill;
        sigaction(s, &action, nullptr);
    }
    if (seconds > 0.0) {
        itimerval timer{};
        const auto whole = static_cast<time_t>(seconds);
        timer.it_value.tv_sec = whole;
        timer.it_value.tv_usec = static_cast<suseconds_t>((seconds - static_cast<double>(whole)) * 1e6);
        if (timer.it_value.tv_sec == 0 && timer.it_value.tv_usec == 0)
            timer.it_value.tv_usec = 1;
        setitimer(ITIMER_REAL, &timer, nullptr);
    }
}

bool CheckOutput(const std::string &input, const std::string &output, std::string &error) {
    const std::string folder = FolderOf(output);
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) {
        error = "cannot write into folder " + folder + ": " + ErrnoText(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "cannot write into " + folder + ": not a folder";
        return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        error = "cannot write into folder " + folder + ": " + ErrnoText(errno);
        return false;
    }
    if (IsSameFile(input, output)) {
        error = "the output " + output + " is the input file";
        return false;
    }
    return true;
}

bool WritePng(const std::string &output, const std::vector<uint8_t> &rgba, int size, std::string &error) {
    // The whole picture is made in memory first: the output is touched only to
    // take it, so the watchdog finds nothing on disk to undo until then.
    std::vector<png_bytep> rows(static_cast<size_t>(size));
    for (int y = 0; y < size; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(rgba.data() + static_cast<size_t>(y) * size * 4);
    PngFailure failure;
    std::vector<uint8_t> png;
    if (!EncodePng(png, rows.data(), size, failure)) {
        error = "cannot make the picture: " + std::string(failure.text[0] ? failure.text : "out of memory");
        return false;
    }
    if (output.size() >= sizeof g_outputPath) {
        error = "the output name is too long";
        return false;
    }

    WatchdogSignalsHeld held;
    const itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigset_t pending;
    sigpending(&pending);
    if (sigismember(&pending, SIGALRM)) {
        // Time ran out before the picture was done: the handler ends the program
        // as soon as the signal is let through.
        error = "time limit reached";
        return false;
    }
    // Written into the file of that name itself, not renamed over it: a file
    // manager may have made the file and read the picture through the descriptor
    // it keeps open. A file it did not make is made here and removed on failure.
    bool created = true;
    int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, g_fileMode);
    if (fd < 0 && errno == EEXIST) {
        created = false;
        fd = open(output.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    }
    if (fd < 0) {
        error = "cannot write " + output + ": " + ErrnoText(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        error = "cannot write " + output + ": not a regular file";
        return false;
    }
    std::memcpy(g_outputPath, output.c_str(), output.size() + 1);
    g_outputFd = fd;
    g_outputCreated = created;
    g_writing = 1;

    int writeError = created || ftruncate(fd, 0) == 0 ? 0 : errno;
    for (size_t done = 0; writeError == 0 && done < png.size();) {
        const ssize_t n = write(fd, png.data() + done, png.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            writeError = errno;
        else if (n == 0)
            writeError = EIO;
    }
    if (writeError != 0)
        UndoOutput();
    if (close(fd) != 0 && writeError == 0) {
        writeError = errno;
        UndoOutputAfterClose();
    }
    g_writing = 0;
    if (writeError != 0) {
        error = "cannot write " + output + ": " + ErrnoText(writeError);
        return false;
    }
    return true;
}
