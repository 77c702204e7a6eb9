#include "sim/state/sim_store.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <list>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "host/huge_mapping.h"
#include "sim/state/sim_files.h"

namespace zelt::sim {

namespace {

// What identifies one version of a file that is only ever replaced whole.
struct FileStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t mtime_sec = 0;
    int64_t mtime_nsec = 0;
    bool operator==(const FileStamp&) const = default;
};

FileStamp stamp_of(const std::string& path) {
    FileStamp f;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return f;
    f.exists = true;
    f.device = st.st_dev;
    f.inode = st.st_ino;
    f.size = st.st_size;
    f.mtime_sec = st.st_mtim.tv_sec;
    f.mtime_nsec = st.st_mtim.tv_nsec;
    return f;
}

// This process's id, asked of the kernel once, and again in a forked child.
pid_t this_process() {
    static std::atomic<pid_t> pid{0};
    static const int hooked = ::pthread_atfork(nullptr, nullptr, [] { pid.store(0, std::memory_order_relaxed); });
    (void)hooked;
    pid_t p = pid.load(std::memory_order_relaxed);
    if (p == 0) {
        p = ::getpid();
        pid.store(p, std::memory_order_relaxed);
    }
    return p;
}

}  // namespace

// A descriptor of a host file kept open between sessions, with the identity of the file
// it was opened on and the process that opened it. `in_use` (changed under
// kept_mutex()) marks a lock file that a session of this process holds locked: another
// session of the process opens the file anew, so that the two locks still exclude each
// other. A forked child shares the parent's open file, and with it the parent's flock,
// so a child never uses a descriptor its parent opened.
struct KeptFile {
    int fd = -1;
    uint64_t device = 0;
    uint64_t inode = 0;
    pid_t owner = 0;
    bool in_use = false;
    uint64_t checked_token = 0;  // the host's token when `is` last held (0: never)

    explicit KeptFile(int descriptor) : fd(descriptor), owner(this_process()) {
        struct stat st;
        if (::fstat(fd, &st) == 0) {
            device = st.st_dev;
            inode = st.st_ino;
        }
    }
    ~KeptFile() {
        if (fd >= 0) ::close(fd);
    }
    KeptFile(const KeptFile&) = delete;
    KeptFile& operator=(const KeptFile&) = delete;

    // True when `path` names this very file (a regular file, not through a link) and
    // this process opened it.
    bool is(const std::string& path) const {
        if (owner != this_process()) return false;
        struct stat st;
        return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == device && st.st_ino == inode;
    }
};

namespace {

// The description and state of a host as this process last read or wrote them, with
// the generation token and file identities they belong to, the flash mappings and the
// open lock file and request log.
struct KeptHost {
    std::string root;
    bool valid = false;
    uint64_t token = 0;
    FileStamp description;
    FileStamp state;
    std::shared_ptr<const HostDesc> host;
    std::shared_ptr<const RuntimeState> runtime;
    std::map<std::string, std::shared_ptr<MappedFlash>> flash;
    std::shared_ptr<KeptFile> lock;
    std::shared_ptr<KeptFile> request_log;
    // The last text read of each file and what it parsed to, so that the very same bytes
    // read again (by another reader of the process, or after another process changed
    // only the other file) are not parsed again.
    std::string description_text;
    std::shared_ptr<const HostDesc> description_parsed;
    std::string state_text;
    std::shared_ptr<const RuntimeState> state_parsed;
    std::string state_json_text;  // the state as the clock reader parsed it
    std::shared_ptr<const nlohmann::json> state_json;
};

// A process normally works on one host; a few are kept so tests switching between
// hosts stay cheap, and the oldest is dropped (its mappings with it).
constexpr size_t kKeptHosts = 4;

std::mutex& kept_mutex() {
    static std::mutex m;
    return m;
}

std::list<KeptHost>& kept_hosts() {
    static std::list<KeptHost> hosts;
    return hosts;
}

// The kept record of `root`, moved to the front; created (invalid) when missing.
// Call with kept_mutex() held.
KeptHost& kept_host(const std::string& root) {
    auto& hosts = kept_hosts();
    for (auto it = hosts.begin(); it != hosts.end(); ++it) {
        if (it->root == root) {
            hosts.splice(hosts.begin(), hosts, it);
            return hosts.front();
        }
    }
    hosts.emplace_front();
    hosts.front().root = root;
    while (hosts.size() > kKeptHosts) hosts.pop_back();
    return hosts.front();
}

// Remembers what a session read or wrote, for the next session of this process.
void keep(const std::string& root, uint64_t token, const FileStamp& description, const FileStamp& state,
          std::shared_ptr<const HostDesc> host, std::shared_ptr<const RuntimeState> runtime) {
    std::lock_guard<std::mutex> guard(kept_mutex());
    KeptHost& kept = kept_host(root);
    kept.valid = true;
    kept.token = token;
    kept.description = description;
    kept.state = state;
    kept.host = std::move(host);
    kept.runtime = std::move(runtime);
}

// A fresh nonzero generation token, drawn from the kernel each time so that processes
// forked from one parent never draw the same sequence.
uint64_t new_token() {
    uint64_t t = 0;
    while (t == 0) {
        if (::getrandom(&t, sizeof t, 0) != static_cast<ssize_t>(sizeof t)) {
            // No entropy call: the time and the process id still differ between writers.
            t = wall_clock_us() ^ (static_cast<uint64_t>(::getpid()) << 40) ^ t;
        }
    }
    return t;
}

// The description file parsed, through the text kept for `root`.
std::shared_ptr<const HostDesc> parse_description(const std::string& root, const std::string& path,
                                                  std::string& error) {
    std::string text;
    if (!read_whole_file(path, text)) {
        error = path + ": cannot be read";
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> guard(kept_mutex());
        KeptHost& kept = kept_host(root);
        if (kept.description_parsed && kept.description_text == text) return kept.description_parsed;
    }
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    auto host = std::make_shared<HostDesc>();
    if (j.is_discarded() || !host_from_json(j, *host, error)) {
        error = path + ": " + (j.is_discarded() ? std::string("not JSON") : error);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(kept_mutex());
    KeptHost& kept = kept_host(root);
    kept.description_text = std::move(text);
    kept.description_parsed = host;
    return host;
}

// The state file parsed, through the text kept for `root`; a missing file is an empty
// state.
std::shared_ptr<const RuntimeState> parse_state(const std::string& root, const std::string& path,
                                                std::string& error) {
    std::string text;
    if (!read_whole_file(path, text)) return std::make_shared<const RuntimeState>();
    std::shared_ptr<const nlohmann::json> parsed;
    {
        std::lock_guard<std::mutex> guard(kept_mutex());
        KeptHost& kept = kept_host(root);
        if (kept.state_parsed && kept.state_text == text) return kept.state_parsed;
        if (kept.state_json && kept.state_json_text == text) parsed = kept.state_json;
    }
    if (!parsed) parsed = std::make_shared<const nlohmann::json>(nlohmann::json::parse(text, nullptr, false));
    auto state = std::make_shared<RuntimeState>();
    if (parsed->is_discarded() || !state_from_json(*parsed, *state, error)) {
        error = path + ": " + (parsed->is_discarded() ? std::string("not JSON") : error);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(kept_mutex());
    KeptHost& kept = kept_host(root);
    kept.state_text = std::move(text);
    kept.state_parsed = state;
    return state;
}

}  // namespace

uint64_t wall_clock_us() {
    struct timeval tv;
    ::gettimeofday(&tv, nullptr);
    return static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
}

bool read_whole_file(const std::string& path, std::string& data) {
    const int fd = open_sim_file(path, O_RDONLY);
    if (fd < 0) return false;
    data.clear();
    // Read straight into the string, sized from the file (a staged package runs to tens
    // of megabytes); a file that grows meanwhile is read to its end all the same.
    struct stat st;
    size_t have = 0;
    // One byte more than the file holds, so the read that finds its end needs no more room.
    if (::fstat(fd, &st) == 0 && st.st_size > 0) data.resize(static_cast<size_t>(st.st_size) + 1);
    bool ok = true;
    for (;;) {
        if (have == data.size()) data.resize(have + 65536);
        const size_t asked = data.size() - have;
        const ssize_t n = ::read(fd, data.data() + have, asked);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        have += static_cast<size_t>(n);
        if (static_cast<size_t>(n) < asked) break;  // a regular file's end
    }
    data.resize(have);
    ::close(fd);
    return ok;
}

bool write_file_atomic(const std::string& path, const std::string& data, std::string& error) {
    // The temporary sits beside the file and is always created anew: whatever its name
    // held (a leftover, or a link planted there) is removed first, never written through.
    std::string tmp = path + ".tmp";
    if (::unlink(tmp.c_str()) != 0 && errno != ENOENT) {
        error = tmp + ": " + std::strerror(errno);
        return false;
    }
    int fd = open_sim_file(tmp, O_WRONLY | O_CREAT | O_EXCL);
    if (fd < 0) {
        error = tmp + ": " + std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = tmp + ": " + std::strerror(errno);
            ::close(fd);
            ::unlink(tmp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
        error = path + ": " + std::strerror(errno);
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

std::unique_ptr<MappedFlash> MappedFlash::open(const std::string& path, std::string& error) {
    int fd = open_sim_file(path, O_RDWR);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size <= 0) {
        error = path + ": empty or unreadable flash image";
        ::close(fd);
        return nullptr;
    }
    size_t size = static_cast<size_t>(st.st_size);
    // Mapped so that whole 2 MiB pieces of the file's page cache map as one page each.
    void* base = host::map_file_aligned(fd, size, PROT_READ | PROT_WRITE, MAP_SHARED);
    if (base == MAP_FAILED) {
        error = path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<MappedFlash> mapped(new MappedFlash(fd, static_cast<uint8_t*>(base), size));
    mapped->device_ = st.st_dev;
    mapped->inode_ = st.st_ino;
    return mapped;
}

std::shared_ptr<MappedFlash> MappedFlash::reuse_or_open(const std::string& path, std::shared_ptr<MappedFlash> mapped,
                                                        std::string& error) {
    // A shared mapping sees every write to the file; only a file replaced or resized
    // under the same name needs a new one.
    struct stat st;
    if (mapped && ::lstat(path.c_str(), &st) == 0 && st.st_dev == mapped->device_ && st.st_ino == mapped->inode_ &&
        static_cast<size_t>(st.st_size) == mapped->size_)
        return mapped;
    return open(path, error);
}

MappedFlash::~MappedFlash() {
    ::munmap(base_, size_);
    ::close(fd_);
}

bool MappedFlash::write(uint64_t offset, std::span<const uint8_t> data) {
    if (offset > size_ || data.size() > size_ - offset) return false;
    for (size_t done = 0; done < data.size();) {
        const ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // what was written is written again through the mapping
        done += static_cast<size_t>(n);
    }
    return true;
}

FileLock::FileLock(std::shared_ptr<KeptFile> file) : file_(std::move(file)), fd_(file_->fd) {}

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, std::string& error) {
    int fd = open_sim_file(path, O_RDWR | O_CREAT);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    return acquire(std::make_shared<KeptFile>(fd), path, error);
}

std::unique_ptr<FileLock> FileLock::acquire(std::shared_ptr<KeptFile> file, const std::string& path,
                                            std::string& error) {
    while (::flock(file->fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(std::move(file)));
}

namespace {

constexpr off_t kClockAt = sizeof(uint64_t);  // the clock follows the token in the lock file

}  // namespace

// The token and the clock are read together, once per lock: nobody else writes them
// while it is held.
void FileLock::read_header() const {
    if (header_read_) return;
    header_read_ = true;
    uint8_t header[2 * sizeof(uint64_t)];
    const ssize_t n = ::pread(fd_, header, sizeof header, 0);
    if (n >= static_cast<ssize_t>(sizeof token_)) std::memcpy(&token_, header, sizeof token_);
    clock_read_ = n == static_cast<ssize_t>(sizeof header);
    if (clock_read_) std::memcpy(&clock_, header + kClockAt, sizeof clock_);
}

uint64_t FileLock::read_token() const {
    read_header();
    return token_;
}

bool FileLock::write_token(uint64_t token, std::string& error) {
    if (::pwrite(fd_, &token, sizeof token, 0) != static_cast<ssize_t>(sizeof token)) {
        error = std::string("lock file: ") + std::strerror(errno);
        header_read_ = false;  // read again from the file when next asked
        return false;
    }
    read_header();
    token_ = token;
    return true;
}

bool FileLock::read_clock(int64_t& offset_us) const {
    read_header();
    if (clock_read_) offset_us = clock_;
    return clock_read_;
}

bool FileLock::write_clock(int64_t offset_us, std::string& error) {
    if (::pwrite(fd_, &offset_us, sizeof offset_us, kClockAt) != static_cast<ssize_t>(sizeof offset_us)) {
        error = std::string("lock file: ") + std::strerror(errno);
        header_read_ = false;
        return false;
    }
    read_header();
    clock_ = offset_us;
    clock_read_ = true;
    return true;
}

FileLock::~FileLock() {
    ::flock(fd_, LOCK_UN);
    std::lock_guard<std::mutex> guard(kept_mutex());
    file_->in_use = false;
}

namespace {

// Takes the host's lock, through the lock file this process kept open when no session
// of it holds it now and the name still leads to it (the lock file found where it was
// also shows the sim/ directory still in its place).
std::unique_ptr<FileLock> lock_host(const SimPaths& paths, const std::string& root, std::string& error) {
    const std::string lock_path = paths.lock();
    std::unique_ptr<FileLock> lock;
    // The lock file this process kept open, when no session of it holds it now and the
    // name still leads to it (the lock file found where it was also shows the sim/
    // directory still in its place).
    std::shared_ptr<KeptFile> kept_lock;
    {
        std::lock_guard<std::mutex> guard(kept_mutex());
        KeptHost& kept = kept_host(paths.root);
        if (kept.lock && !kept.lock->in_use) kept_lock = kept.lock;
        if (kept_lock) kept_lock->in_use = true;
    }
    if (kept_lock && !kept_lock->is(lock_path)) {
        std::lock_guard<std::mutex> guard(kept_mutex());
        kept_lock->in_use = false;
        kept_lock.reset();
    }
    if (kept_lock) {
        lock = FileLock::acquire(kept_lock, lock_path, error);
        if (!lock) {
            std::lock_guard<std::mutex> guard(kept_mutex());
            kept_lock->in_use = false;
            return nullptr;
        }
    } else {
        struct stat st;
        // lstat: a link in place of the directory would take every file of the host elsewhere.
        if (::lstat(paths.dir().c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            error = root + " is not a simulated host (no sim/ directory)";
            return nullptr;
        }
        lock = FileLock::acquire(lock_path, error);
        if (!lock) return nullptr;
        // Kept for the next session unless one of this process holds the kept file now.
        std::lock_guard<std::mutex> guard(kept_mutex());
        KeptHost& kept = kept_host(paths.root);
        if (!kept.lock || !kept.lock->in_use) {
            kept.lock = lock->file();
            kept.lock->in_use = true;
        }
    }
    return lock;
}

// The description and state as the files hold them, shared with the kept copy: the
// kept copy itself when nothing changed since it was taken, else what the files hold
// now (kept for later). Runs under the lock.
bool load_shared(FileLock& lock, const SimPaths& paths, std::shared_ptr<const HostDesc>& host,
                 std::shared_ptr<const RuntimeState>& state, std::string& error) {
    uint64_t token = lock.read_token();
    FileStamp description_stamp = stamp_of(paths.description());
    FileStamp state_stamp = stamp_of(paths.state());
    {
        std::lock_guard<std::mutex> guard(kept_mutex());
        KeptHost& kept = kept_host(paths.root);
        if (kept.valid && token != 0 && kept.token == token && kept.description == description_stamp &&
            kept.state == state_stamp) {
            host = kept.host;
            state = kept.runtime;
            return true;
        }
        kept.valid = false;
    }
    std::shared_ptr<const HostDesc> parsed_host = parse_description(paths.root, paths.description(), error);
    if (!parsed_host) return false;
    std::shared_ptr<const RuntimeState> parsed_state = parse_state(paths.root, paths.state(), error);
    if (!parsed_state) return false;
    host = parsed_host;
    state = parsed_state;
    if (token == 0) {
        // A host no session has saved yet gets its first token, so that a host created
        // again under the same name can never pass for this one.
        token = new_token();
        if (!lock.write_token(token, error)) return true;  // usable, just not kept
    }
    keep(paths.root, token, description_stamp, state_stamp, host, state);
    return true;
}

SimPaths paths_of(const std::string& root) {
    SimPaths paths{root};
    while (paths.root.size() > 1 && paths.root.back() == '/') paths.root.pop_back();
    return paths;
}

}  // namespace

bool read_host_description(const std::string& root, const std::function<void(const HostDesc&)>& read,
                           std::string& error) {
    const SimPaths paths = paths_of(root);
    // The description this process last loaded under the lock, while its file is still
    // the file it was loaded from: the file is only ever replaced whole, so it stands
    // as loaded without taking the lock to look.
    const FileStamp now = stamp_of(paths.description());
    std::shared_ptr<const HostDesc> host;
    {
        std::lock_guard<std::mutex> guard(kept_mutex());
        const KeptHost& kept = kept_host(paths.root);
        if (kept.valid && now.exists && kept.description == now) host = kept.host;
    }
    if (!host) {
        std::unique_ptr<FileLock> lock = lock_host(paths, root, error);
        if (!lock) return false;
        std::shared_ptr<const RuntimeState> state;
        if (!load_shared(*lock, paths, host, state, error)) return false;
    }
    read(*host);
    return true;
}

std::unique_ptr<SimSession> SimSession::open(const std::string& root, std::string& error) {
    std::unique_ptr<SimSession> s(new SimSession());
    s->paths_ = paths_of(root);
    s->lock_ = lock_host(s->paths_, root, error);
    if (!s->lock_) return nullptr;
    if (!s->load(error)) return nullptr;
    // One hit counter per scheduled fault.
    if (s->loaded_state_->fault_hits.size() != s->shared_host_->faults.size())
        s->state().fault_hits.resize(s->shared_host_->faults.size(), 0);
    return s;
}

// The session reads what the files hold through the shared copy, which stays as
// loaded, for `save` to see what changed. Runs under the lock.
bool SimSession::load(std::string& error) {
    if (!load_shared(*lock_, paths_, shared_host_, loaded_state_, error)) return false;
    clock_in_lock_file_ = lock_->read_clock(clock_us_);
    if (!clock_in_lock_file_) clock_us_ = loaded_state_->clock_offset_us;
    return true;
}

HostDesc& SimSession::host() {
    if (!own_host_) own_host_ = std::make_unique<HostDesc>(*shared_host_);
    return *own_host_;
}

RuntimeState& SimSession::state() {
    if (!own_state_) {
        own_state_ = std::make_unique<RuntimeState>(*loaded_state_);
        own_state_->clock_offset_us = clock_us_;
        // Adapters this session already took move over as they are (a node moved between
        // maps keeps its address), so references handed out stay valid.
        while (!own_adapters_.empty()) {
            auto node = own_adapters_.extract(own_adapters_.begin());
            own_state_->adapters.erase(node.key());
            own_state_->adapters.insert(std::move(node));
        }
    }
    return *own_state_;
}

AdapterState& SimSession::adapter_state(const std::string& adapter) {
    if (own_state_) return own_state_->adapters[adapter];
    auto it = own_adapters_.find(adapter);
    if (it != own_adapters_.end()) return it->second;
    // An adapter the state does not hold yet starts from the defaults, as it would in
    // the whole state.
    auto loaded = loaded_state_->adapters.find(adapter);
    return own_adapters_.emplace(adapter, loaded == loaded_state_->adapters.end() ? AdapterState{} : loaded->second)
        .first->second;
}

std::span<uint8_t> SimSession::flash(const std::string& adapter) {
    auto it = flash_.find(adapter);
    if (it == flash_.end()) {
        std::string error;
        const std::string path = paths_.flash(adapter);
        std::lock_guard<std::mutex> guard(kept_mutex());
        KeptHost& kept = kept_host(paths_.root);
        std::shared_ptr<MappedFlash>& mapped = kept.flash[adapter];
        // A mapping already found to be the adapter's file under the host's present
        // generation token is taken as it is: a flash file is only ever made with a new
        // host, and a new host has a new token.
        const uint64_t token = lock_->read_token();
        if (!mapped || token == 0 || mapped->checked_token() != token) {
            mapped = MappedFlash::reuse_or_open(path, mapped, error);
            if (mapped) mapped->set_checked_token(token);
        }
        it = flash_.emplace(adapter, mapped).first;
    }
    return it->second ? it->second->bytes() : std::span<uint8_t>();
}

FlashModel SimSession::flash_model(const std::string& adapter) {
    const std::span<uint8_t> bytes = flash(adapter);
    return FlashModel(bytes, flash_.at(adapter).get());
}

// Whether the state differs from what was loaded; only the parts this session copied
// can differ.
bool SimSession::state_changed() const {
    if (own_state_) return !(*own_state_ == *loaded_state_);
    for (const auto& [name, adapter] : own_adapters_) {
        auto loaded = loaded_state_->adapters.find(name);
        if (loaded == loaded_state_->adapters.end() || !(loaded->second == adapter)) return true;
    }
    return false;
}

bool SimSession::save(std::string& error) {
    // The clock is written to the lock file on its own; the rest of the state is
    // compared as loaded, with the clock it was loaded with.
    const int64_t clock = own_state_ ? own_state_->clock_offset_us : clock_us_;
    if (own_state_) own_state_->clock_offset_us = loaded_state_->clock_offset_us;
    const bool state_dirty = state_changed();
    if (own_state_) own_state_->clock_offset_us = clock;
    // The lock has been held since the session read the clock, so the lock file still
    // holds what was read.
    if ((!clock_in_lock_file_ || clock != clock_us_) && !lock_->write_clock(clock, error)) return false;
    clock_us_ = clock;
    clock_in_lock_file_ = true;
    if (!description_dirty_ && !state_dirty) return true;
    uint64_t token;
    {
        std::lock_guard<std::mutex> guard(kept_mutex());
        kept_host(paths_.root).valid = false;
    }
    token = new_token();
    // The token changes before the files do: whatever happens to the writes, no process
    // keeps using what it read before.
    if (!lock_->write_token(token, error)) return false;
    if (description_dirty_ && !write_file_atomic(paths_.description(), to_json(host_view()).dump(2) + "\n", error))
        return false;
    if (description_dirty_) shared_host_ = std::make_shared<const HostDesc>(host_view());
    description_dirty_ = false;
    if (state_dirty) {
        const RuntimeState& written = state();
        if (!write_file_atomic(paths_.state(), to_json(written).dump(1) + "\n", error)) return false;
        loaded_state_ = std::make_shared<const RuntimeState>(written);
    }
    FileStamp description = stamp_of(paths_.description());
    FileStamp state = stamp_of(paths_.state());
    keep(paths_.root, token, description, state, shared_host_, loaded_state_);
    return true;
}

bool append_request_text(const SimPaths& paths, std::string_view text) {
    const std::string path = paths.request_log();
    std::shared_ptr<KeptFile> log;
    uint64_t token = 0;
    {
        std::lock_guard<std::mutex> guard(kept_mutex());
        const KeptHost& kept = kept_host(paths.root);
        log = kept.request_log;
        if (kept.valid) token = kept.token;
    }
    // The log found to be the file at its path under the host's present generation token
    // is written as it is; the log is only ever made anew with a new host (clearing it
    // empties it in place).
    if (!log || token == 0 || log->checked_token != token) {
        if (!log || !log->is(path)) {
            const int fd = open_sim_file(path, O_WRONLY | O_CREAT | O_APPEND);
            if (fd < 0) return false;
            log = std::make_shared<KeptFile>(fd);
        }
        log->checked_token = token;
        std::lock_guard<std::mutex> guard(kept_mutex());
        kept_host(paths.root).request_log = log;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(log->fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done == text.size();
}

int64_t read_clock_offset(const std::string& root) {
    const SimPaths paths = paths_of(root);
    {
        const int fd = open_sim_file(paths.lock(), O_RDONLY);
        if (fd >= 0) {
            int64_t first = 0, second = 0;
            bool held = false;
            for (int attempt = 0; attempt < 8 && !held; ++attempt) {
                if (::pread(fd, &first, sizeof first, kClockAt) != static_cast<ssize_t>(sizeof first)) break;
                held = ::pread(fd, &second, sizeof second, kClockAt) == static_cast<ssize_t>(sizeof second) &&
                       first == second;
            }
            ::close(fd);
            if (held) return first;
        }
    }
    FileStamp state = stamp_of(paths.state());
    {
        // The kept copy answers only for the very file it was read from, with the token
        // the lock file holds now.
        uint64_t token = 0;
        int fd = open_sim_file(paths.lock(), O_RDONLY);
        if (fd >= 0) {
            if (::pread(fd, &token, sizeof token, 0) != static_cast<ssize_t>(sizeof token)) token = 0;
            ::close(fd);
        }
        std::lock_guard<std::mutex> guard(kept_mutex());
        for (const KeptHost& kept : kept_hosts())
            if (kept.root == paths.root && kept.valid && token != 0 && kept.token == token && kept.state == state)
                return kept.runtime->clock_offset_us;
    }
    std::string text;
    if (!read_whole_file(paths.state(), text)) return 0;
    auto j = std::make_shared<const nlohmann::json>(nlohmann::json::parse(text, nullptr, false));
    if (!j->is_object()) return 0;
    const int64_t offset = j->value("clock_offset_us", int64_t{0});
    // Kept for the first session, which reads the same file under the lock.
    std::lock_guard<std::mutex> guard(kept_mutex());
    KeptHost& kept = kept_host(paths.root);
    kept.state_json_text = std::move(text);
    kept.state_json = std::move(j);
    return offset;
}

std::shared_ptr<const HostDesc> read_description_file(const std::string& root, std::string& error) {
    const SimPaths paths = paths_of(root);
    return parse_description(paths.root, paths.description(), error);
}

bool advance_clock(const std::string& root, int64_t delta_us, int64_t& offset_us, std::string& error) {
    const SimPaths paths = paths_of(root);
    {
        std::unique_ptr<FileLock> lock = lock_host(paths, root, error);
        if (!lock) return false;
        int64_t clock = 0;
        if (lock->read_clock(clock)) {
            offset_us = clock + delta_us;
            return lock->write_clock(offset_us, error);
        }
    }
    // A host whose lock file holds no clock yet: a whole session moves it there.
    auto session = SimSession::open(root, error);
    if (!session) return false;
    session->state().clock_offset_us += delta_us;
    if (!session->save(error)) return false;
    offset_us = session->state().clock_offset_us;
    return true;
}

uint64_t SimSession::now_us() const {
    const int64_t offset = own_state_ ? own_state_->clock_offset_us : clock_us_;
    return static_cast<uint64_t>(static_cast<int64_t>(wall_clock_us()) + offset);
}

}  // namespace zelt::sim
