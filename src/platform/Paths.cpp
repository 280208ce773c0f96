#include "platform/Paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace platform {

namespace fs = std::filesystem;

std::string uniqueSuffix() {
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 rng{std::random_device{}()};
    return ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) + "-" +
           std::to_string(rng() & 0xffffff);
}

namespace {

// An absolute path from the environment; relative or empty values are ignored as the XDG rules say.
bool absoluteFromEnv(const char* name, fs::path& out) {
    const char* v = std::getenv(name);
    if (v == nullptr || *v == '\0' || v[0] != '/') return false;
    out = fs::path(v);
    return true;
}

fs::path homeDir() {
    fs::path home;
    if (absoluteFromEnv("HOME", home)) return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd pw{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return fs::path(found->pw_dir);
    return {};
}

fs::path xdgDir(const char* variable, const char* underHome) {
    fs::path dir;
    if (absoluteFromEnv(variable, dir)) return dir;
    const fs::path home = homeDir();
    if (home.empty()) return fs::path(".");
    return home / underHome;
}

bool writeAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Temporary files of atomic writes in progress; created and removed under the lock.
std::mutex pendingMutex;
std::set<std::string>& pendingTemporaries() {
    static std::set<std::string> names;
    return names;
}

void syncFolder(const fs::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

fs::path configDir() { return xdgDir("XDG_CONFIG_HOME", ".config"); }
fs::path cacheDir() { return xdgDir("XDG_CACHE_HOME", ".cache"); }
fs::path stateDir() { return xdgDir("XDG_STATE_HOME", ".local/state"); }

fs::path tempDir() {
    fs::path dir;
    if (absoluteFromEnv("TMPDIR", dir)) return dir;
    return fs::path("/tmp");
}

fs::path diagnosticsDir() {
    const fs::path dir = stateDir() / "TERRAVOX";
    std::error_code ec;
    fs::create_directories(dir.parent_path(), ec);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno == EEXIST) {
        // A folder left from an earlier run with wider rights is narrowed; anything else is left alone.
        struct stat st {};
        if (::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
            (st.st_mode & 0077) != 0)
            ::chmod(dir.c_str(), 0700);
    }
    return dir;
}

bool writeFileAtomically(const fs::path& target, std::string_view bytes) {
    return writeFileAtomically(target, bytes, 0666);
}

namespace {

bool writeProducedAtomically(const fs::path& target, const std::function<bool(const ByteSink&)>& produce,
                             unsigned newFileMode);

}  // namespace

bool writeFileAtomically(const fs::path& target, const std::function<bool(const ByteSink&)>& produce) {
    return writeProducedAtomically(target, produce, 0666);
}

bool writeFileAtomically(const fs::path& target, std::string_view bytes, unsigned newFileMode) {
    return writeProducedAtomically(
        target, [bytes](const ByteSink& sink) { return sink(bytes); }, newFileMode);
}

namespace {

bool writeProducedAtomically(const fs::path& target, const std::function<bool(const ByteSink&)>& produce,
                             unsigned newFileMode) {
    if (target.filename().empty()) return false;
    const fs::path folder = target.parent_path();
    mode_t mode = static_cast<mode_t>(newFileMode & 07777);  // a new file: narrowed by the umask at creation
    bool keepMode = false;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return false;
        mode = st.st_mode & 07777;
        keepMode = true;
    }

    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = target;
        temp += uniqueSuffix();
        std::lock_guard lock(pendingMutex);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, keepMode ? 0600 : mode);
        if (fd < 0 && errno != EEXIST) return false;
        if (fd >= 0) pendingTemporaries().insert(temp.string());
    }
    if (fd < 0) return false;

    bool ok = produce([fd](std::string_view bytes) { return writeAll(fd, bytes); });
    // A private file (no group or other bits asked for) gets exactly its mode, whatever the umask; an existing
    // file keeps its own. Other new files follow the umask as the user wants.
    if (ok && (keepMode || (mode & 0077) == 0)) ok = ::fchmod(fd, keepMode ? mode : (mode | 0600)) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    {
        std::lock_guard lock(pendingMutex);
        if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
        if (!ok) ::unlink(temp.c_str());
        pendingTemporaries().erase(temp.string());
    }
    if (!ok) return false;
    syncFolder(folder);
    return true;
}

}  // namespace

bool writeFileAtomically(const fs::path& target, std::string_view bytes, std::string& error, unsigned newFileMode) {
    if (writeFileAtomically(target, bytes, newFileMode)) return true;
    error = "Nie mozna zapisac pliku: " + target.string();
    return false;
}

void removePendingTemporaryFiles() {
    // Locked for good: the process ends right after, and no write may create a file in between.
    pendingMutex.lock();
    for (const std::string& name : pendingTemporaries()) ::unlink(name.c_str());
}

bool appendToFile(const fs::path& target, std::string_view bytes) {
    int fd = ::open(target.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    // Private whatever the umask, also a file an earlier version left readable to others.
    ::fchmod(fd, 0600);
    bool ok = writeAll(fd, bytes);
    if (::close(fd) != 0) ok = false;
    return ok;
}

bool makePrivateFolder(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
    return (st.st_mode & 0077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

}  // namespace platform
