// POSIX implementation of the operating-system services.
#include "platform/TaPlatform.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <poll.h>
#include <time.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>
#include <vector>

bool taPlatformExecutablePath(char* out, size_t outSize)
{
    if (!out || outSize == 0)
        return false;
    out[0] = 0;
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size() || static_cast<size_t>(n) >= outSize)
        return false;
    memcpy(out, buffer.data(), static_cast<size_t>(n));
    out[n] = 0;
    return true;
}

std::string taPlatformCurrentDirectory()
{
    std::vector<char> buffer(4096);
    if (!getcwd(buffer.data(), buffer.size()))
        return ".";
    return buffer.data();
}

static bool pathExists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

bool taPlatformResolvePathCase(const std::string& path, std::string& resolved)
{
    if (pathExists(path)) {
        resolved = path;
        return true;
    }
    std::string current;
    size_t pos = 0;
    if (!path.empty() && path[0] == '/') {
        current = "/";
        pos = 1;
    }
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(pos, end - pos);
        pos = end + 1;
        if (component.empty() || component == ".")
            continue;
        std::string base = current.empty() ? std::string() : current;
        if (!base.empty() && base.back() != '/')
            base += '/';
        std::string candidate = base + component;
        if (component != ".." && !pathExists(candidate)) {
            DIR* dir = opendir(current.empty() ? "." : current.c_str());
            if (!dir)
                return false;
            std::vector<std::string> matches;
            while (dirent* entry = readdir(dir)) {
                if (strcasecmp(entry->d_name, component.c_str()) == 0)
                    matches.push_back(entry->d_name);
            }
            closedir(dir);
            if (matches.empty())
                return false;
            std::sort(matches.begin(), matches.end());
            candidate = base + matches.front();
        }
        current = candidate;
    }
    if (current.empty())
        current = ".";
    resolved = current;
    return true;
}

bool taPlatformMakeDirectory(const char* path)
{
    if (mkdir(path, 0755) == 0)
        return true;
    return errno == EEXIST && taPlatformIsRealDirectory(path);
}

bool taPlatformIsRealDirectory(const char* path)
{
    struct stat st;
    return lstat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

ETaPathKind taPlatformPathKind(const char* path)
{
    struct stat st;
    if (lstat(path, &st) != 0)
        return ETAPATH_MISSING;
    if (S_ISREG(st.st_mode))
        return ETAPATH_FILE;
    if (S_ISDIR(st.st_mode))
        return ETAPATH_DIRECTORY;
    return ETAPATH_OTHER;
}

bool taPlatformSameOutput(FILE* a, FILE* b)
{
    struct stat sa, sb;
    if (fstat(fileno(a), &sa) != 0 || fstat(fileno(b), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool taPlatformWriteFileAtomic(const char* path, const void* data, size_t size, bool executable)
{
    std::string temp = std::string(path) + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0)
        return false;
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int saved = errno;
            close(fd);
            unlink(name.data());
            errno = saved;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    fchmod(fd, executable ? 0755 : 0644);
    if (close(fd) != 0 || rename(name.data(), path) != 0) {
        int saved = errno;
        unlink(name.data());
        errno = saved;
        return false;
    }
    return true;
}

int taPlatformOpenMemoryFile(const void* data, size_t size, std::string& name)
{
    int fd = memfd_create("tarv-memory-file", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            close(fd);
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    name = "/proc/self/fd/" + std::to_string(fd);
    return fd;
}

void taPlatformCloseMemoryFile(int descriptor)
{
    if (descriptor >= 0)
        close(descriptor);
}

bool operator==(const STaFileStamp& a, const STaFileStamp& b)
{
    return a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs && a.size == b.size && a.inode == b.inode &&
           a.device == b.device && a.isDirectory == b.isDirectory;
}

bool taPlatformFileStamp(const char* path, STaFileStamp* stamp)
{
    struct stat st;
    if (!path || stat(path, &st) != 0)
        return false;
    stamp->modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp->changedNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    stamp->size = st.st_size;
    stamp->inode = st.st_ino;
    stamp->device = st.st_dev;
    stamp->isDirectory = S_ISDIR(st.st_mode);
    return true;
}

int64_t taPlatformFileClockNs()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

bool taPlatformListDirectory(const char* path, const std::function<void(const char*, bool)>& visit)
{
    DIR* dir = opendir(path);
    if (!dir)
        return false;
    std::vector<std::pair<std::string, bool>> entries;
    while (dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat st;
            std::string full = std::string(path) + "/" + entry->d_name;
            isDirectory = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        entries.emplace_back(entry->d_name, isDirectory);
    }
    closedir(dir);
    // A stable order, whatever the file system's.
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries)
        visit(entry.first.c_str(), entry.second);
    return true;
}

bool taPlatformMatchPattern(const char* pattern, const char* name)
{
    return fnmatch(pattern, name, 0) == 0;
}

std::string taPlatformErrorText(int error)
{
    return strerror(error);
}

namespace {

struct SForkPause {
    int id;
    std::function<void()> pause, resume;
};
// The registry outlives every static object that registers with it (a music table left to the end of
// the process unregisters while statics are destroyed): it is made on first use and never destroyed.
struct SForkPauses {
    std::mutex mutex;
    std::vector<SForkPause> entries;
    int next = 1;
};
SForkPauses& forkPauses()
{
    static SForkPauses* registry = new SForkPauses;
    return *registry;
}

// Forks with every registered thread paused, and resumes them in the parent.
pid_t forkQuietly()
{
    SForkPauses& registry = forkPauses();
    std::lock_guard<std::mutex> lock(registry.mutex);
    for (SForkPause& entry : registry.entries)
        entry.pause();
    const pid_t child = fork();
    if (child != 0)
        for (SForkPause& entry : registry.entries)
            entry.resume();
    return child;
}

} // namespace

int taPlatformAddForkPause(std::function<void()> pause, std::function<void()> resume)
{
    SForkPauses& registry = forkPauses();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const int id = registry.next++;
    registry.entries.push_back({id, std::move(pause), std::move(resume)});
    return id;
}

void taPlatformRemoveForkPause(int id)
{
    SForkPauses& registry = forkPauses();
    std::lock_guard<std::mutex> lock(registry.mutex);
    registry.entries.erase(std::remove_if(registry.entries.begin(), registry.entries.end(),
                                          [id](const SForkPause& entry) { return entry.id == id; }),
                           registry.entries.end());
}

bool taPlatformRunIsolated(const std::function<std::string()>& work, std::string& result, std::string& failure,
                           int timeoutMs)
{
    int fds[2];
    if (pipe(fds) != 0) {
        failure = std::string("cannot make a pipe: ") + strerror(errno);
        return false;
    }
    const pid_t child = forkQuietly();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        failure = std::string("cannot start a process: ") + strerror(errno);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        // A fault ends the child by its signal, which the parent reports: the handlers the process
        // installed (a sanitizer's report, a fuzzer's crash file) belong to the parent.
        for (int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP})
            signal(fault, SIG_DFL);
        const std::string text = work();
        size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = write(fds[1], text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                _exit(2);
            done += size_t(n);
        }
        close(fds[1]);
        // Leave without running the parent's exit handlers or destructors.
        _exit(0);
    }
    close(fds[1]);
    result.clear();
    char buffer[65536];
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd readable{fds[0], POLLIN, 0};
        const int ready = poll(&readable, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            timedOut = true;
            break;
        }
        const ssize_t n = read(fds[0], buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.append(buffer, size_t(n));
    }
    close(fds[0]);
    if (timedOut)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        result.clear();
        failure = "timed out after " + std::to_string((timeoutMs + 999) / 1000) + " s";
        return false;
    }
    if (WIFSIGNALED(status)) {
        failure = std::string("crashed (") + strsignal(WTERMSIG(status)) + ")";
        return false;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        failure = "ended without a result (status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
        return false;
    }
    return true;
}

bool taPlatformSetCurrentDirectory(const char* path)
{
    return path && chdir(path) == 0;
}
