#include "sim/driver/staged_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sim/state/sim_files.h"

namespace zelt::sim {

std::unique_ptr<StagedFile> StagedFile::open(const std::string& path) {
    const int fd = open_sim_file(path, O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return nullptr;
    }
    if (st.st_size <= 0) {
        ::close(fd);
        return std::unique_ptr<StagedFile>(new StagedFile(nullptr, 0));
    }
    // Populated at once: the whole package is read straight after, and one call that
    // maps every page costs less than a fault for each run of them.
    const size_t size = static_cast<size_t>(st.st_size);
    void* base = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    ::close(fd);
    if (base == MAP_FAILED) return nullptr;
    return std::unique_ptr<StagedFile>(new StagedFile(static_cast<const uint8_t*>(base), size));
}

StagedFile::~StagedFile() {
    if (size_ != 0) ::munmap(const_cast<uint8_t*>(base_), size_);
}

}  // namespace zelt::sim
