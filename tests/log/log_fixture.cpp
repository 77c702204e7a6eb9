#include "tests/log/log_fixture.h"

#include <fcntl.h>
#include <unistd.h>

namespace zelt::test {

StreamCapture::StreamCapture() {
    std::fflush(stdout);
    std::fflush(stderr);
    saved_out_ = dup(1);
    saved_err_ = dup(2);
    int out = open(dir_.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(dir_.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, 1);
    dup2(err, 2);
    close(out);
    close(err);
}

void StreamCapture::finish() {
    if (done_) return;
    done_ = true;
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(saved_out_, 1);
    dup2(saved_err_, 2);
    close(saved_out_);
    close(saved_err_);
    out_ = read_text_file(dir_.file("out"));
    err_ = read_text_file(dir_.file("err"));
}

StreamCapture::~StreamCapture() { finish(); }

std::string StreamCapture::out() {
    finish();
    return out_;
}

std::string StreamCapture::err() {
    finish();
    return err_;
}

}  // namespace zelt::test
