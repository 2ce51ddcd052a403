#pragma once
// The thumbnail's way to disk: the picture is made whole in memory and only then
// written into the output, and a watchdog gives up on a file taking too long.
// Whatever ends the program early - the watchdog, a kill, a failed write - takes
// back what was written (removes a file made for it, empties one that was there),
// so a reader never sees a partial picture.
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

// Takes back a picture being written and ends the program on SIGTERM, SIGINT and SIGHUP,
// and after `seconds` (none when 0) with `message` on stderr and status 1.
void StartWatchdog(double seconds, const std::string &message);

// Blocks the signals the watchdog handles for its lifetime, in this thread and in
// the threads it starts meanwhile: those then leave the signals to this one.
class WatchdogSignalsHeld {
public:
    WatchdogSignalsHeld();
    ~WatchdogSignalsHeld();
    WatchdogSignalsHeld(const WatchdogSignalsHeld &) = delete;
    WatchdogSignalsHeld &operator=(const WatchdogSignalsHeld &) = delete;

private:
    sigset_t previous_;
};

// Whether `output` can be written: its folder exists and is writable, and it is
// not the file `input` itself.
bool CheckOutput(const std::string &input, const std::string &output, std::string &error);

// Writes size x size RGBA pixels, top row first, as a PNG with alpha.
bool WritePng(const std::string &output, const std::vector<uint8_t> &rgba, int size, std::string &error);
