#include "sim/state/sim_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace zelt::sim {

uint64_t wall_clock_us() {
    struct timeval tv;
    ::gettimeofday(&tv, nullptr);
    return static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
}

bool read_whole_file(const std::string& path, std::string& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    data = ss.str();
    return !in.bad();
}

bool write_file_atomic(const std::string& path, const std::string& data, std::string& error) {
    std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
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
    void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    int saved = errno;
    ::close(fd);
    if (base == MAP_FAILED) {
        error = path + ": " + std::strerror(saved);
        return nullptr;
    }
    return std::unique_ptr<MappedFlash>(new MappedFlash(static_cast<uint8_t*>(base), size));
}

MappedFlash::~MappedFlash() { ::munmap(base_, size_); }

std::unique_ptr<FileLock> FileLock::acquire(const std::string& path, std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        error = path + ": " + std::strerror(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
}

std::unique_ptr<SimSession> SimSession::open(const std::string& root, std::string& error) {
    std::unique_ptr<SimSession> s(new SimSession());
    s->paths_.root = root;
    while (s->paths_.root.size() > 1 && s->paths_.root.back() == '/') s->paths_.root.pop_back();
    struct stat st;
    if (::stat(s->paths_.dir().c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = root + " is not a simulated host (no sim/ directory)";
        return nullptr;
    }
    s->lock_ = FileLock::acquire(s->paths_.lock(), error);
    if (!s->lock_) return nullptr;
    std::string text;
    if (!read_whole_file(s->paths_.description(), text)) {
        error = s->paths_.description() + ": cannot be read";
        return nullptr;
    }
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !host_from_json(j, s->host_, error)) {
        error = s->paths_.description() + ": " + (j.is_discarded() ? std::string("not JSON") : error);
        return nullptr;
    }
    if (read_whole_file(s->paths_.state(), text)) {
        j = nlohmann::json::parse(text, nullptr, false);
        if (j.is_discarded() || !state_from_json(j, s->state_, error)) {
            error = s->paths_.state() + ": " + (j.is_discarded() ? std::string("not JSON") : error);
            return nullptr;
        }
    }
    s->state_.fault_hits.resize(s->host_.faults.size(), 0);
    return s;
}

std::span<uint8_t> SimSession::flash(const std::string& adapter) {
    auto it = flash_.find(adapter);
    if (it == flash_.end()) {
        std::string error;
        it = flash_.emplace(adapter, MappedFlash::open(paths_.flash(adapter), error)).first;
    }
    return it->second ? it->second->bytes() : std::span<uint8_t>();
}

bool SimSession::save(std::string& error) {
    if (description_dirty_ && !write_file_atomic(paths_.description(), to_json(host_).dump(2) + "\n", error))
        return false;
    description_dirty_ = false;
    return write_file_atomic(paths_.state(), to_json(state_).dump(1) + "\n", error);
}

uint64_t SimSession::now_us() const { return static_cast<uint64_t>(static_cast<int64_t>(wall_clock_us()) + state_.clock_offset_us); }

}  // namespace zelt::sim
