#include "sim/driver/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sim/state/sim_files.h"

namespace zelt::sim {

std::unique_ptr<StagedFile> StagedFile::open(const std::string& path) {
    const int fd = open_sim_file(path, O_RDONLY);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<StagedFile>(new StagedFile(fd, static_cast<uint64_t>(st.st_size)));
}

StagedFile::~StagedFile() { ::close(fd_); }

bool StagedFile::read(uint64_t offset, std::span<uint8_t> out) {
    if (offset > size_ || out.size() > size_ - offset) return false;
    for (size_t done = 0; done < out.size();) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // an error, or the file cut short meanwhile
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace zelt::sim
