// install -online against a download service that the test serves on 127.0.0.1: the
// package each adapter gets is found, downloaded, checked like a package file and
// installed; every failure says why, ends with its status and leaves the NVM alone.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/install/flash_check.h"
#include "tests/install/install_host.h"
#include "tests/install/loopback_http.h"

namespace {

using zelt::test::contains;
using zelt::test::InstallHost;
using zelt::test::LoopbackHttp;
using zelt::test::RunOptions;
using zelt::test::RunResult;
using zelt::test::TempDir;

constexpr const char* kPackagePath = "/files/new.pkg";

// The service's answer for an adapter, naming `url` (written as given).
std::string metadata(const std::string& url) {
    return "{\n  \"Name\": \"Orvanta firmware\",\n  \"Version\": \"229.0.1.0\",\n  \"URL\": \"" + url +
           "\",\n  \"Size\": 1\n}\n";
}

// A simulated host, its download service and the temporary tree the tool's private
// download directory goes to.
class OnlineHost {
public:
    explicit OnlineHost(const InstallHost& original) : host_(InstallHost::CopyOf{original}) {}

    InstallHost& host() { return host_; }
    LoopbackHttp& server() { return server_; }

    // Writes the configuration: the log level first, the online keys after it.
    void configure(const std::string& keys) const {
        std::filesystem::create_directories(host_.root() + "/etc");
        zelt::test::write_text_file(host_.root() + "/etc/zeltnvm.conf", "ZELT_NVM_LOG_LEVEL=7\n" + keys);
    }
    void configure_service() const { configure("ZELT_NVM_ONLINE_URL=" + server_.base_url() + "/\n"); }

    RunResult zeltnvm(const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env = {}) const {
        std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm")};
        argv.insert(argv.end(), args.begin(), args.end());
        RunOptions o;
        o.env = {{"ZELTNVM_SIM", host_.root()}, {"TMPDIR", tmp_.path()}};
        o.env.insert(o.env.end(), env.begin(), env.end());
        o.cwd = host_.work_dir();
        return zelt::test::run_program(argv, o);
    }

    // The adapters' flash images.
    std::vector<std::vector<uint8_t>> flash() const {
        return {zelt::test::read_bytes(host_.root() + "/sim/adapter0.flash"),
                zelt::test::read_bytes(host_.root() + "/sim/adapter1.flash")};
    }
    // What the runs left in the temporary tree.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(tmp_.path())) names.push_back(e.path().string());
        return names;
    }

private:
    InstallHost host_;
    LoopbackHttp server_;
    TempDir tmp_;
};

// One default host with the example package built, copied for each case.
class InstallOnline : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        original_ = new InstallHost();
        original_->example("new.pkg", "229.0.1.0");
    }
    static void TearDownTestSuite() {
        delete original_;
        original_ = nullptr;
    }
    static std::string package() { return zelt::test::read_text_file(original_->work_file("new.pkg")); }

    static InstallHost* original_;
};
InstallHost* InstallOnline::original_ = nullptr;

TEST_F(InstallOnline, DownloadsAndInstallsThePackageOnBothAdapters) {
    OnlineHost online(*original_);
    ASSERT_NE(online.server().port(), 0);
    online.configure_service();
    online.server().serve_at("/docsearch/*", metadata(online.server().base_url() + kPackagePath));
    online.server().serve_at(kPackagePath, package());

    const RunResult r = online.zeltnvm({"-y", "install", "-online"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "Controller #1 will be updated to firmware version v229.0.1.0\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Controller #2 will be updated to firmware version v229.0.1.0\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "\nFirmware update is completed.\n")) << r.out;
    for (const char* dev : {"-dev=zen0", "-dev=zen2"}) {
        const RunResult info = online.zeltnvm({dev, "device_info"});
        EXPECT_TRUE(contains(info.out, "Package version on NVM      : 229.0.1.0")) << dev << info.out;
    }

    // Each adapter asked for its own package by its PCI ids, then downloaded it.
    const std::vector<std::string> asked = online.server().requests();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[0].rfind("/docsearch/PCI-ID=", 0), 0u) << asked[0];
    EXPECT_EQ(asked[0].size(), std::string("/docsearch/PCI-ID=xxxx:xxxx:xxxx:xxxx").size()) << asked[0];
    EXPECT_EQ(asked[1], kPackagePath);
    EXPECT_EQ(asked[2].rfind("/docsearch/PCI-ID=", 0), 0u) << asked[2];
    EXPECT_NE(asked[0], asked[2]);
    EXPECT_EQ(asked[3], kPackagePath);
    const std::string log = online.host().log();
    EXPECT_TRUE(contains(log, "metadata_url = " + online.server().base_url() + asked[0] + "\n")) << log;
    EXPECT_TRUE(contains(log, "FW version from url = 229.0.1.0\n")) << log;
    // The downloads and their directory are gone.
    EXPECT_TRUE(online.leftovers().empty());
}

TEST_F(InstallOnline, FailuresEndWithTheirStatusAndLeaveTheAdaptersAlone) {
    const std::string pkg = package();
    std::string corrupt = pkg;
    corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x5a);
    enum class Serve { kNothing, kAnswerOnly, kAnswerAndPackage, kAnswerAndCorrupt, kAnswerAndUnannounced };
    struct Case {
        const char* name;
        std::string keys;     // configuration after the log level; "$URL" is the service
        std::string answer;   // the service's answer ("$PKG" is the package's address)
        Serve serve;
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;
        int status;
        const char* out;  // on standard output ("" for none)
        const char* err;  // on standard error
    } cases[] = {
        {"not configured", "", "", Serve::kNothing, {"-y", "install", "-online"}, {}, 14, "",
         "The online update service is not configured: set ZELT_NVM_ONLINE_URL=<base URL> in /etc/zeltnvm.conf.\n"},
        {"empty service address", "ZELT_NVM_ONLINE_URL=\n", "", Serve::kNothing, {"-y", "install", "-online"}, {},
         14, "", "The online update service is not configured"},
        {"invalid size limit", "ZELT_NVM_ONLINE_URL=$URL\nZELT_NVM_ONLINE_MAX_BYTES=lots\n", "", Serve::kNothing,
         {"-y", "install", "-online"}, {}, 14, "",
         "The value of ZELT_NVM_ONLINE_MAX_BYTES in /etc/zeltnvm.conf is not valid.\n"},
        {"with recovery", "ZELT_NVM_ONLINE_URL=$URL\n", metadata("$PKG"), Serve::kAnswerAndPackage,
         {"-dev=zen0", "-y", "install", "-online", "-recovery"}, {}, 14, "",
         "online option is not supported along with recovery options.\n"},
        {"server down", "ZELT_NVM_ONLINE_URL=http://127.0.0.1:1\n", "", Serve::kNothing,
         {"-y", "install", "-online"}, {}, 14, "Controller #1 at PCI Domain:0000 Bus:",
         "This adapter is not supported for online firmware update.\n\n"},
        {"library not loadable", "ZELT_NVM_ONLINE_URL=$URL\n", metadata("$PKG"), Serve::kAnswerAndPackage,
         {"-y", "install", "-online"}, {{"ZELTNVM_SIM_URL_LIBRARY", "/nonexistent/libcurl.so.4"}}, 14, "",
         "zeltnvm_download_data: failed to load curl library\n"},
        {"no data for the adapter", "ZELT_NVM_ONLINE_URL=$URL\n", "{\"Result\": \"No Data available\"}\n",
         Serve::kAnswerOnly, {"-dev=zen0", "-y", "install", "-online"}, {}, 14, "",
         "This adapter is not supported for online firmware update.\n\n"},
        {"answer without URL", "ZELT_NVM_ONLINE_URL=$URL\n", "{\n  \"Version\": \"229.0.1.0\"\n}\n",
         Serve::kAnswerOnly, {"-y", "install", "-online"}, {}, 3, "",
         "\nInvalid package file. Package installation failed.\n\n"},
        {"empty URL", "ZELT_NVM_ONLINE_URL=$URL\n", metadata(""), Serve::kAnswerOnly,
         {"-dev=zen2", "-y", "install", "-online"}, {}, 3, "",
         "\nInvalid package file. Package installation failed.\n\n"},
        {"package not found", "ZELT_NVM_ONLINE_URL=$URL\n", metadata("$PKG"), Serve::kAnswerOnly,
         {"-y", "install", "-online"}, {}, 4, "", "curl_easy_perform: status: The requested URL returned error: 404"},
        {"package fails verification", "ZELT_NVM_ONLINE_URL=$URL\n", metadata("$PKG"), Serve::kAnswerAndCorrupt,
         {"-dev=zen0", "-y", "install", "-online"}, {}, 12, "",
         "Package file verification failed. Please provide a valid package file to update the firmware.\n"},
        {"announced size over the limit", "ZELT_NVM_ONLINE_URL=$URL\nZELT_NVM_ONLINE_MAX_BYTES=4096\n",
         metadata("$PKG"), Serve::kAnswerAndPackage, {"-y", "install", "-online"}, {}, 4, "",
         "is larger than 4096 bytes, the limit ZELT_NVM_ONLINE_MAX_BYTES of /etc/zeltnvm.conf sets\n"},
        {"unannounced size over the limit", "ZELT_NVM_ONLINE_URL=$URL\nZELT_NVM_ONLINE_MAX_BYTES=4096\n",
         metadata("$PKG"), Serve::kAnswerAndUnannounced, {"-y", "install", "-online"}, {}, 4, "",
         "is larger than 4096 bytes"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        OnlineHost online(*original_);
        ASSERT_NE(online.server().port(), 0);
        auto expand = [&](std::string text) {
            for (const auto& [from, to] : {std::pair<std::string, std::string>{"$URL", online.server().base_url()},
                                           {"$PKG", online.server().base_url() + kPackagePath}}) {
                for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
            }
            return text;
        };
        online.configure(expand(c.keys));
        if (c.serve != Serve::kNothing) online.server().serve_at("/docsearch/*", expand(c.answer));
        if (c.serve == Serve::kAnswerAndPackage) online.server().serve_at(kPackagePath, pkg);
        if (c.serve == Serve::kAnswerAndCorrupt) online.server().serve_at(kPackagePath, corrupt);
        if (c.serve == Serve::kAnswerAndUnannounced) online.server().serve_at(kPackagePath, pkg, false);
        const std::vector<std::vector<uint8_t>> before = online.flash();
        ASSERT_FALSE(before[0].empty() || before[1].empty());

        const RunResult r = online.zeltnvm(c.args, c.env);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, c.out)) << r.out;
        EXPECT_TRUE(contains(r.err, c.err)) << r.err;
        EXPECT_FALSE(contains(r.out, "is being updated")) << r.out;
        EXPECT_TRUE(online.flash() == before);
        EXPECT_TRUE(online.leftovers().empty());
        if (c.serve == Serve::kNothing || c.args.back() == "-recovery") {
            EXPECT_TRUE(online.server().requests().empty());
        }
    }
}

// A port of 127.0.0.1 that nothing listens on just now; 0 when none could be had.
int free_loopback_port() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

bool accepts_connections(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

// A service whose certificate nobody vouches for is not trusted: the download stops
// at the handshake, so neither its answer nor a package it names is taken.
TEST_F(InstallOnline, RefusesAServiceWithAnUntrustedCertificate) {
    const std::string openssl = "/usr/bin/openssl";
    if (::access(openssl.c_str(), X_OK) != 0) GTEST_SKIP() << "no openssl command";
    TempDir keys;
    const RunResult made = zelt::test::run_program(
        {openssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", keys.file("key.pem"), "-out",
         keys.file("cert.pem"), "-subj", "/CN=127.0.0.1", "-days", "1", "-addext", "subjectAltName=IP:127.0.0.1"});
    ASSERT_EQ(made.status, 0) << made.err;
    const int port = free_loopback_port();
    ASSERT_NE(port, 0);
    // The server answers any request with a page of its own: only the certificate
    // check can refuse it.
    const pid_t server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const std::string accept = "127.0.0.1:" + std::to_string(port);
        ::execl(openssl.c_str(), openssl.c_str(), "s_server", "-accept", accept.c_str(), "-cert",
                keys.file("cert.pem").c_str(), "-key", keys.file("key.pem").c_str(), "-www", "-quiet",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    struct Stopper {
        pid_t pid;
        ~Stopper() {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    } stopper{server};
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!accepts_connections(port) && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(accepts_connections(port));

    OnlineHost online(*original_);
    online.configure("ZELT_NVM_ONLINE_URL=https://127.0.0.1:" + std::to_string(port) + "\n");
    const std::vector<std::vector<uint8_t>> before = online.flash();
    const RunResult r = online.zeltnvm({"-dev=zen0", "-y", "install", "-online"});
    EXPECT_EQ(r.status, 14) << r.out << r.err;
    EXPECT_TRUE(contains(r.err, "curl_easy_perform: status: SSL certificate problem")) << r.err;
    EXPECT_TRUE(contains(r.err, "This adapter is not supported for online firmware update.\n")) << r.err;
    EXPECT_TRUE(online.flash() == before);
    EXPECT_TRUE(online.leftovers().empty());
}

}  // namespace
