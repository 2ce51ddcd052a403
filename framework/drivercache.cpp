#include "drivercache.h"

#include <cstdlib>

#include <sys/statvfs.h>

namespace {

std::string Env(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string DriverCacheFolder() {
    if (const std::string dir = Env("MESA_SHADER_CACHE_DIR"); !dir.empty())
        return dir;
    if (const std::string dir = Env("XDG_CACHE_HOME"); !dir.empty())
        return dir + "/mesa_shader_cache";
    return Env("HOME") + "/.cache/mesa_shader_cache";
}

bool KeepDriverCacheOffAFullDisk() {
    if (!Env("MESA_SHADER_CACHE_DISABLE").empty())
        return false;
    // The folder may not be there yet: its nearest existing parent is on the same disk.
    std::string folder = DriverCacheFolder();
    struct statvfs fs {};
    while (statvfs(folder.c_str(), &fs) != 0) {
        const std::string::size_type slash = folder.find_last_of('/');
        if (slash == std::string::npos || folder == "/")
            return false;
        folder = slash == 0 ? "/" : folder.substr(0, slash);
    }
    if (std::uint64_t(fs.f_bavail) * fs.f_frsize >= kDriverCacheMinFreeBytes)
        return false;
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    return true;
}
