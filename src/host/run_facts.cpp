#include "host/run_facts.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace zelt::host {

std::string run_user_name() {
    if (const char* sudo = std::getenv("SUDO_USER"); sudo && *sudo) return sudo;
    const uid_t uid = ::getuid();
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 4096);
    struct passwd entry{};
    struct passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return found->pw_name;
    return "uid " + std::to_string(uid);
}

std::string absolute_path(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    std::error_code error;
    const std::filesystem::path where = std::filesystem::absolute(path, error);
    return error ? path : where.lexically_normal().string();
}

bool stdout_is_terminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace zelt::host
