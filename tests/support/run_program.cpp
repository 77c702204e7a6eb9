#include "tests/support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace zelt::test {

RunResult run_program(const std::vector<std::string>& argv, const RunOptions& options) {
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork");
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
        for (const auto& name : options.unset_env) unsetenv(name.c_str());
        for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
        std::vector<std::string> full = options.wrapper;
        full.insert(full.end(), argv.begin(), argv.end());
        std::vector<char*> args;
        for (auto& a : full) args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    RunResult result;
    size_t written = 0;
    int in_fd = in_pipe[1];
    if (options.input.empty()) {
        close(in_fd);
        in_fd = -1;
    } else {
        fcntl(in_fd, F_SETFL, O_NONBLOCK);
    }
    int out_fd = out_pipe[0], err_fd = err_pipe[0];
    while (out_fd >= 0 || err_fd >= 0) {
        pollfd fds[3];
        int n = 0;
        if (out_fd >= 0) fds[n++] = {out_fd, POLLIN, 0};
        if (err_fd >= 0) fds[n++] = {err_fd, POLLIN, 0};
        if (in_fd >= 0) fds[n++] = {in_fd, POLLOUT, 0};
        if (poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) continue;
            if (fds[i].fd == in_fd) {
                ssize_t w = write(in_fd, options.input.data() + written, options.input.size() - written);
                if (w > 0) written += static_cast<size_t>(w);
                if (w < 0 || written == options.input.size()) {
                    close(in_fd);
                    in_fd = -1;
                }
                continue;
            }
            char buf[8192];
            ssize_t r = read(fds[i].fd, buf, sizeof buf);
            std::string& sink = fds[i].fd == out_fd ? result.out : result.err;
            if (r > 0) {
                sink.append(buf, static_cast<size_t>(r));
            } else {
                close(fds[i].fd);
                (fds[i].fd == out_fd ? out_fd : err_fd) = -1;
            }
        }
    }
    if (in_fd >= 0) close(in_fd);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (!options.keep_note_lines) result.err = without_note_lines(result.err);
    return result;
}

std::string without_note_lines(const std::string& err) {
    std::string kept;
    bool first = true;
    for (size_t at = 0; at < err.size();) {
        const size_t end = err.find('\n', at);
        const size_t next = end == std::string::npos ? err.size() : end + 1;
        const std::string_view line(err.data() + at, next - at);
        const bool note = (first && line.starts_with("SIMULATED HOST: ")) ||
                          line.starts_with("WARNING: this build trusts the public test signing key") ||
                          line.starts_with("Hint: ") || line.starts_with("Log file: ");
        if (!note || end == std::string::npos) kept.append(line);
        first = false;
        at = next;
    }
    return kept;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/zelt-test-XXXXXX";
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string read_text_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_text_file(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

}  // namespace zelt::test
