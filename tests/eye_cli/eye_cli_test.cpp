// The eye diagram commands against simulated adapters whose lanes have a known channel:
// what each command shows for a clean lane, how the results follow the channel loss,
// the refusals, the eye scope's stop and interruption, and its file.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "sim/firmware/serdes_model.h"
#include "sim/state/sim_store.h"
#include "tests/front_end/cli_fixture.h"

namespace zelt::test {
namespace {

using nlohmann::json;

// Lanes 0 to 3 with growing channel loss, lane 4 closed; the same on every lane kind.
const json kLanes = {{"0", {{"loss_db", 4}}},
                     {"1", {{"loss_db", 10}}},
                     {"2", {{"loss_db", 16}}},
                     {"3", {{"loss_db", 20}}},
                     {"4", {{"loss_db", 40}}}};

class EyeCliTest : public CliTest {
protected:
    // zen0/zen1: a Kestra adapter whose eye scope reaches 1e-10; zen2/zen3: a Lumo adapter.
    void SetUp() override {
        const json config = {
            {"adapters",
             {{{"name", "k"}, {"serdes", {{"pcie_lanes", kLanes}, {"target_ber_support", 2}}}},
              {{"name", "l"}, {"device_type", 5}, {"serdes", {{"pcie_lanes", kLanes}, {"ethernet_lanes", kLanes}}}}}}};
        write_text_file(cwd_.file("eye.json"), config.dump());
        RunResult r = run_program({ZELT_PROGRAM("zeltsim"), "create", root_.path(), "--config", cwd_.file("eye.json")});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    json run_json(std::vector<std::string> args) {
        args.push_back("-json");
        RunResult r = run(args);
        json doc = json::parse(r.out, nullptr, false);
        EXPECT_FALSE(doc.is_discarded()) << r.out << r.err;
        return doc;
    }

    json state() { return json::parse(read_text_file(root_.file("sim/state.json"))); }

    void add_fault(const std::string& kind) {
        RunResult r = run_program({ZELT_PROGRAM("zeltsim"), "fault", root_.path(), kind});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    // zeltnvm started in the background, its standard output into `out`.
    pid_t spawn(const std::vector<std::string>& args, const std::string& out) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            if (::chdir(cwd_.path().c_str()) != 0) _exit(127);
            ::setenv("ZELTNVM_SIM", root_.path().c_str(), 1);
            std::vector<std::string> all{ZELT_PROGRAM("zeltnvm")};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            _exit(127);
        }
        return pid;
    }

    // Waits until `path` holds `text` (false after 20 s).
    static bool wait_for_text(const std::string& path, const std::string& text) {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < give_up) {
            if (read_text_file(path).find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static int wait_status(pid_t pid) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
};

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(EyeCliTest, CleanLanePlotAndReport) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> parts;  // in this order
    } cases[] = {
        {{"-dev=zen0", "pci_eye_scope", "0"},
         {"Result for PCI Lane 0    : Passed\n", "  Horizontal Eye Left    : -", "/32 UI\n", "  Vertical Eye Top       : -",
          "Rx Settings:\n", "  shd                    : g4\n", "  wm                     : "}},
        {{"-dev=zen0", "pci_eye_scope", "full_eye", "0", "1e-10"},
         {"Retrieving Eye Scope data from hardware. Please wait ...\n\n", "100% completed",
          "Plotting PCI eye diagram...\n",
          "\n Each character N represents approximate error rate 1e-N at that location\n"
          " Where 'A','B' and 'C' represents the error rate at 1e-10, 1e-11, 1e-12 at the location\n"
          "  UI/32  : -20  -15  -10  -5    0    5    10   15   20\n"
          "         :  |----|----|----|----|----|----|----|----|\n"
          "   233mV :  ",
          "\n     0mV :  ", "\n  -233mV :  ",
          "         :  |----|----|----|----|----|----|----|----|\n"
          "  UI/32  : -20  -15  -10  -5    0    5    10   15   20\n",
          "\nExtrapolating for BER at 1e-12...\n", "Extrapolation for BER at 1e-12 is completed\n",
          "<Test Result>: Eye Height and Eye Width margins are > 0.2UI and 18mV, test PASSED.\n<Margins>:\n"
          "Eye Width margin at le-12 is 0.",
          "The Channel max Loss for PCIe Gen4 (16.0 GT/s) is 28 dB", "Link Rating = "}},
        {{"-dev=zen2", "pci_eye_diagram", "0", "-v"},
         {"\n Each character N represents approximate error rate 1e-N at that location\n"
          "  UI/64  : -30  -25  -20  -15  -10  -5    0    5    10   15   20   25   30\n"
          "         : -|----|----|----|----|----|----|----|----|----|----|----|----|-\n"
          "   250mV : ",
          "\n     0mV : ", "\n  -250mV : ",
          "\nTrying to extrapolate for BER at 1e-12.This may take several minutes...\n", "Rate = 8000000000 bps\n",
          "<Test Result>: Both Eye Width and Height margins are greater than 0%, test PASSED\n\n<Margins>:\n",
          "Eye Height margin at le-12 is ", "Link Rating = "}},
        {{"-dev=zen2", "ether_serdes_eye_diagram", "0"},
         {"Rate = 25781250000 bps\n", "test PASSED\n\n", "Link Rating = 5 (scale: 1 to 5(Excellent))\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        size_t at = 0;
        for (const auto& part : c.parts) {
            const size_t found = r.out.find(part, at);
            ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << part << "\n" << r.out;
            at = found + part.size();
        }
    }
    // Without -v the older command shows no plot, and without -margin no margins.
    RunResult r = run({"-dev=zen2", "ether_serdes_eye_diagram", "0"});
    EXPECT_FALSE(has(r.out, "UI/64")) << r.out;
    EXPECT_FALSE(has(r.out, "<Margins>")) << r.out;
}

// More channel loss: smaller projected margins and a rating no better, on every command
// that projects.
TEST_F(EyeCliTest, MoreLossRatesLowerAndProjectsSmallerMargins) {
    struct Command {
        std::vector<std::string> args;  // the lane goes last
    } commands[] = {{{"-dev=zen0", "pci_eye_scope", "full_eye"}}, {{"-dev=zen2", "pci_eye_diagram"}}};
    for (const auto& c : commands) {
        SCOPED_TRACE(c.args[1]);
        double last_width = 1e9, last_height = 1e9;
        int last_rank = 6, first_rank = -1;
        for (int lane = 0; lane <= 3; ++lane) {
            auto args = c.args;
            args.push_back(std::to_string(lane));
            const json doc = run_json(args);
            ASSERT_TRUE(doc["ok"].get<bool>()) << doc.dump(2);
            const double width = doc["eye_width_ui"], height = doc["eye_height_mv"];
            EXPECT_LT(width, last_width) << "lane " << lane;
            EXPECT_LT(height, last_height) << "lane " << lane;
            EXPECT_TRUE(doc["passed"].get<bool>()) << "lane " << lane;
            const int rank = doc["rating"].is_null() ? 0 : doc["rating"]["rank"].get<int>();
            EXPECT_LE(rank, last_rank) << "lane " << lane;
            if (first_rank < 0) first_rank = rank;
            last_width = width, last_height = height, last_rank = rank;
        }
        EXPECT_GT(first_rank, last_rank);
    }
}

TEST_F(EyeCliTest, ClosedEyeFails) {
    RunResult r = run({"-dev=zen0", "pci_eye_scope", "full_eye", "4"});
    EXPECT_TRUE(has(r.out, "<Test Result>: Eye Height margin is not greater than 0.2UI and 18mV, test FAILED\n")) << r.out;
    EXPECT_FALSE(has(r.out, "Link Rating")) << r.out;
    r = run({"-dev=zen2", "pci_eye_diagram", "4", "-margin"});
    EXPECT_TRUE(has(r.out, " Both Eye Width and Height margins are not greater than 0%, test FAILED\n\n")) << r.out;
    EXPECT_TRUE(has(r.out, "No margin @ 1e-12, 1e-15 & 1e-18\n")) << r.out;
    EXPECT_TRUE(has(r.out, "Eye Width margin at le-12 is 0.000 UI\n")) << r.out;
    r = run({"-dev=zen0", "pci_eye_scope", "4"});
    EXPECT_TRUE(has(r.out, "Result for PCI Lane 4    : Failed\n")) << r.out;
}

TEST_F(EyeCliTest, RefusalsAndBadArguments) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
        bool ok;
    } cases[] = {
        {{"-dev=zen0", "pci_eye_diagram", "0"}, "This command is not supported on HVX9Kxxxx devices\n", false},
        {{"-dev=zen2", "pci_eye_scope", "0"}, "This command is supported only on HVX9Kxxxx devices\n", false},
        {{"-dev=zen0", "ether_serdes_eye_diagram", "0"}, "\nExtrapolation is not supported for PAM4 device.\n", true},
        {{"-dev=zen0", "pci_eye_scope", "full_eye", "0", "1e-12"}, "Provided Target BER is not supported by Hardware.\n",
         false},
        {{"-dev=zen0", "pci_eye_scope", "full_eye", "0", "1e-7"},
         "Invalid Target BER value provided. Valid values are \"1e-8\", \"1e-9\", \"1e-10\", \"1e-11\", \"1e-12\"\n",
         false},
        {{"-dev=zen0", "pci_eye_scope", "16"}, "Invalid PCIe lane provided. Valid range is from 0 to 15\n", false},
        {{"-dev=zen0", "pci_eye_scope", "full_eye"}, "Invalid PCIe lane provided. Valid range is from 0 to 15\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        RunResult r = run(c.args);
        EXPECT_TRUE(has(r.out + r.err, c.message)) << r.out << r.err;
        EXPECT_EQ(r.status == 0, c.ok) << r.status;
    }
    // Nothing was started by a refused command.
    EXPECT_FALSE(state()["adapters"]["k"]["eye_scope"]["active"].get<bool>());
}

TEST_F(EyeCliTest, StopWithAndWithoutARunningTest) {
    RunResult r = run({"-dev=zen0", "pci_eye_scope", "stop"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r.out, "PCI Eye Scope test not running\n")) << r.out;

    add_fault("eyescope_slow");
    const std::string out = cwd_.file("waiting.out");
    const pid_t waiting = spawn({"-dev=zen0", "pci_eye_scope", "full_eye", "2", "1e-10"}, out);
    ASSERT_TRUE(wait_for_text(out, "% completed")) << read_text_file(out);
    r = run({"-dev=zen0", "pci_eye_scope", "stop"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(has(r.out, "Stopping PCI Eye Scope test\nPlotting PCI eye diagram...\n")) << r.out;
    EXPECT_TRUE(has(r.out, "UI/32")) << r.out;
    EXPECT_FALSE(has(r.out, "Extrapolat")) << r.out;  // stopped data is shown, not projected
    EXPECT_EQ(wait_status(waiting), 0);
    EXPECT_TRUE(has(read_text_file(out), "\nAs requested PCI Eye Scope test stopped.\n")) << read_text_file(out);
    EXPECT_FALSE(state()["adapters"]["k"]["eye_scope"]["active"].get<bool>());
}

TEST_F(EyeCliTest, InterruptDuringFullEyeStopsTheTestOnTheAdapter) {
    add_fault("eyescope_slow");
    const std::string out = cwd_.file("interrupted.out");
    const pid_t pid = spawn({"-dev=zen0", "pci_eye_scope", "full_eye", "1", "1e-10"}, out);
    ASSERT_TRUE(wait_for_text(out, "% completed")) << read_text_file(out);
    ASSERT_TRUE(state()["adapters"]["k"]["eye_scope"]["active"].get<bool>());
    kill(pid, SIGINT);
    EXPECT_EQ(wait_status(pid), 1) << read_text_file(out);
    EXPECT_FALSE(state()["adapters"]["k"]["eye_scope"]["active"].get<bool>());
    EXPECT_TRUE(has(read_text_file(out), "Interrupted: PCI Eye Scope test stopped.")) << read_text_file(out);
    EXPECT_FALSE(has(read_text_file(out), "Extrapolation for BER at 1e-12 is completed"));
}

// The projected eye agrees with the channel model's opening at BER 1e-12 to one scan
// step per side: 2/32 UI across, 2 x 3.52 mV in height. Each side's fit starts at its
// innermost cell with errors and puts the assumed 1e-8 point one whole step further in,
// so where inside that step the true edge lies is not known to it; the model's eye also
// closes faster than a Gaussian near its edge (its amplitude falls there too), which the
// straight Q-scale line does not follow. Measured: within 0.7 of a step per side.
TEST_F(EyeCliTest, ProjectedMarginsAgreeWithTheChannelModel) {
    for (int lane = 1; lane <= 3; ++lane) {
        SCOPED_TRACE(lane);
        const json doc = run_json({"-dev=zen0", "pci_eye_scope", "full_eye", std::to_string(lane)});
        ASSERT_TRUE(doc["ok"].get<bool>()) << doc.dump(2);
        sim::SerdesLaneDesc model;
        model.loss_db = kLanes[std::to_string(lane)]["loss_db"];
        EXPECT_NEAR(doc["eye_width_ui"].get<double>(), 2 * sim::lane_opening_ui(model, 1e-12), 2.0 / 32);
        EXPECT_NEAR(doc["eye_height_mv"].get<double>(), 2 * sim::lane_opening_mv(model, 1e-12), 2 * 3.52);
    }
}

TEST_F(EyeCliTest, EyeScopeFileHasItsHeaderAndNeverFollowsAPlantedLink) {
    // Links under every name the run may use in the next minute point at a file of the
    // user's; the run starts now on the virtual clock.
    const std::string victim = cwd_.file("victim.txt");
    write_text_file(victim, "keep me\n");
    const int64_t offset_s = sim::read_clock_offset(root_.path()) / 1000000;
    const time_t start = std::time(nullptr) + offset_s;
    for (time_t t = start - 2; t < start + 60; ++t) {
        struct tm tm;
        localtime_r(&t, &tm);
        char name[128];
        std::snprintf(name, sizeof name, "eyescope_lane3_simhost_%02d%02d%02d_%02d%02d%02d.dat", tm.tm_year % 100,
                      tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
        std::filesystem::create_symlink(victim, cwd_.file(name));
    }
    const json doc = run_json({"-dev=zen0", "pci_eye_scope", "full_eye", "3", "1e-9"});
    ASSERT_TRUE(doc["ok"].get<bool>()) << doc.dump(2);
    EXPECT_EQ(read_text_file(victim), "keep me\n");
    const std::string file = cwd_.file(doc["file"].get<std::string>());
    ASSERT_FALSE(std::filesystem::is_symlink(file)) << file;
    const std::string text = read_text_file(file);
    EXPECT_EQ(text.rfind("latch_selection : merged\nplotting_style  : Multiplot\ncontour_depth   : 1e-9\n"
                         "min_pos_ui      : -0.625\n",
                         0),
              0u)
        << text.substr(0, 200);
    EXPECT_TRUE(has(text, "comment         : \"Measured: ")) << text.substr(0, 600);
    EXPECT_TRUE(has(text, "\nsubch           : \"d60.ch3.\"\neyemask         : \"{}\"\nwaveform_style  : statistical\n"
                          "rx_settings: h8="))
        << text.substr(0, 600);
    EXPECT_TRUE(has(text, ",iskw=0,shd=g4\n\n")) << text.substr(0, 800);
    // 127 rows of 41 values after the header.
    const std::string rows = text.substr(text.find("shd=g4\n\n") + 8);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 127);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), 'e'), 127 * 41);
}

// The eye-scope file of a clean and of a closed lane rendered as SVG: well-formed SVG,
// and the box of the projected margins spans the margins the command printed.
TEST_F(EyeCliTest, EyeScopeFileRendersAsSvgWithTheMarginBox) {
    struct Case {
        const char* lane;
        bool passed;
    } cases[] = {{"1", true}, {"4", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lane);
        for (const auto& entry : std::filesystem::directory_iterator(cwd_.path()))
            if (entry.path().extension() == ".dat") std::filesystem::remove(entry.path());
        RunResult r = run({"-dev=zen0", "pci_eye_scope", "full_eye", c.lane});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        std::string dat;
        for (const auto& entry : std::filesystem::directory_iterator(cwd_.path()))
            if (entry.path().extension() == ".dat") dat = entry.path();
        ASSERT_FALSE(dat.empty());
        const std::string svg = cwd_.file("eye.svg");
        RunResult z = run_program({ZELT_PROGRAM("zelteye"), dat, "-o", svg});
        ASSERT_EQ(z.status, 0) << z.err;
        RunResult lint = run_program({"/usr/bin/xmllint", "--noout", svg});
        EXPECT_EQ(lint.status, 0) << lint.err;
        const std::string doc = read_text_file(svg);
        EXPECT_TRUE(has(doc, "<svg xmlns=\"http://www.w3.org/2000/svg\""));
        for (int k = 8; k <= 12; ++k) EXPECT_TRUE(has(doc, "id=\"contour-1e-" + std::to_string(k) + "\""));
        EXPECT_EQ(has(doc, "link rating"), c.passed) << doc.substr(0, 400);
        // The box carries the width and height it was drawn from; they are the printed ones.
        const size_t box = doc.find("id=\"margins\"");
        ASSERT_NE(box, std::string::npos);
        auto attribute = [&](const std::string& name) {
            const size_t at = doc.find(name + "=\"", box) + name.size() + 2;
            return std::stod(doc.substr(at, doc.find('"', at) - at));
        };
        if (c.passed) {
            const size_t w = r.out.find("Eye Width margin at le-12 is ");
            const size_t h = r.out.find("Eye Height margin at le-12 is ");
            ASSERT_NE(w, std::string::npos);
            EXPECT_NEAR(attribute("data-width-ui"), std::stod(r.out.substr(w + 29)), 1e-6);
            EXPECT_NEAR(attribute("data-height-mv"), std::stod(r.out.substr(h + 30)), 1e-6);
            // 14 pixels a column (1/32 UI), 5 a row (3.52 mV).
            EXPECT_NEAR(attribute("width"), attribute("data-width-ui") * 32 * 14, 0.02);
            EXPECT_NEAR(attribute("height"), attribute("data-height-mv") / 3.52 * 5, 0.02);
        } else {
            EXPECT_EQ(attribute("data-width-ui"), 0);
        }
    }
}

}  // namespace
}  // namespace zelt::test
