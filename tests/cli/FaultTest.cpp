// The command under faults that come during a run: a full device, a file size limit, a
// standard output that cannot be written. Each is reported with a message and a non-zero
// exit status, and no input is lost or overwritten.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "speclink/cli/CommandErrors.h"
#include "speclink/tests/cli/CommandRunner.h"
#include "speclink/cli/ExitCodes.h"

namespace speclink::cli {
namespace {

namespace fs = std::filesystem;
using speclink::test::ReadFile;
using speclink::test::TempDir;
using speclink::test::WriteFile;
using test::CommandOutcome;
using test::kSmallMgf;
using test::RunCommand;

// `count` spectra 1 Da apart, so that every one is a precursor group of its own; long titles
// make the cluster result file long.
std::string ManySpectra(int count) {
    std::string mgf;
    for (int k = 1; k <= count; ++k) {
        mgf += "BEGIN IONS\nPEPMASS=" + std::to_string(400 + k) + ".5\nCHARGE=2+\nSCANS=" + std::to_string(k) +
               "\n100 10\n200 20\n300 30\nEND IONS\n";
    }
    return mgf;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Sets a file size limit for the object's lifetime: writes past it fail as on a full device
// (EFBIG instead of ENOSPC), without needing a device of that size.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_handler_);
    }

private:
    rlimit saved_{};
    void (*previous_handler_)(int) = SIG_DFL;
};

// The pair list is cut short at the limit; the engine does not notice, the command does by
// its last line, and nothing is moved into the output directory.
TEST(Fault, ResultFileCutShortIsNoticed) {
    const TempDir dir;
    WriteFile(dir / "many.mgf", ManySpectra(600));
    CommandOutcome outcome;
    {
        // Thousands of pair lines do not fit in 8 KiB.
        const FileSizeLimit limit(8192);
        outcome = RunCommand({"modsearch", dir / "many.mgf", "-o", dir / "out", "--threshold", "0"});
    }
    EXPECT_EQ(outcome.code, EXIT_OUTPUT) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "pairs.csv ends in the middle of a line: the write was cut short (device full "
                                      "or file size limit?)"))
        << outcome.err;
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "pairs.csv"));
}

// A parameter file cut short is noticed, and no file stands under the name.
TEST(Fault, ParameterFileCutShortIsNoticed) {
    const TempDir dir;
    CommandOutcome outcome;
    {
        const FileSizeLimit limit(200);
        outcome = RunCommand({"params", "-o", dir / "p.param"});
    }
    EXPECT_EQ(outcome.code, EXIT_OUTPUT) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "speclink: error: cannot write the parameter file " + (dir / "p.param")))
        << outcome.err;
    EXPECT_FALSE(fs::exists(dir / "p.param"));
}

// Output that cannot reach the standard output (here /dev/full) fails the command.
TEST(Fault, StandardOutputOnAFullDevice) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    dup2(full, 1);
    close(full);
    speclink::test::StdoutCapture err(2);
    const char* argv[] = {"speclink", "params"};
    const int code = RunSpeclink(2, argv);
    const std::string message = err.Finish();
    std::clearerr(stdout);
    dup2(saved, 1);
    close(saved);
    EXPECT_EQ(code, EXIT_OUTPUT);
    EXPECT_EQ(message, "speclink: error: cannot write to the standard output\n");
}

// Runs `speclink args...` in a child process with its own mount namespace, where a tmpfs of
// `size` stands at `mount_point` (filled up first when `fill` is set). Returns false when the
// system does not allow the mount (not root, or no namespaces): a real full device cannot be
// made then.
bool RunOnTinyDevice(const fs::path& mount_point, const char* size, bool fill, const std::vector<std::string>& args,
                     const fs::path& log, CommandOutcome& outcome) {
    constexpr int kCannotMount = 125;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const std::string options = std::string("size=") + size;
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", mount_point.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            _exit(kCannotMount);
        }
        if (fill) {
            std::FILE* filler = std::fopen((mount_point / "filler").c_str(), "w");
            const std::string block(4096, 'x');
            while (filler != nullptr && std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
                   std::fflush(filler) == 0) {
            }
            if (filler != nullptr) std::fclose(filler);
        }
        std::freopen(log.c_str(), "w", stderr);
        std::freopen((log.string() + ".out").c_str(), "w", stdout);
        std::vector<const char*> argv = {"speclink"};
        for (const std::string& arg : args) argv.push_back(arg.c_str());
        const int code = RunSpeclink(static_cast<int>(argv.size()), argv.data());
        std::fflush(nullptr);
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) == kCannotMount) return false;
    outcome.code = WEXITSTATUS(status);
    outcome.err = ReadFile(log);
    outcome.out = ReadFile(log.string() + ".out");
    return true;
}

// A real full device: the output directory on a tmpfs of 64 KiB. A device already full is
// refused before any work; one that runs full during the run is noticed after it, for the
// clustering (consensus files fill it) and for the modification search alike.
TEST(Fault, FullDevice) {
    const TempDir dir;
    WriteFile(dir / "many.mgf", ManySpectra(600));
    WriteFile(dir / "small.mgf", kSmallMgf);
    fs::create_directories(dir.path() / "device");
    const fs::path out = dir.path() / "device" / "out";
    CommandOutcome full;
    if (!RunOnTinyDevice(dir.path() / "device", "64k", true, {"cluster", dir / "small.mgf", "-o", out.string()},
                         dir.path() / "full.log", full)) {
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root and mount namespaces)";
    }
    EXPECT_EQ(full.code, EXIT_OUTPUT) << full.err;
    EXPECT_TRUE(Contains(full.err, "is full (no free space); results written there are incomplete")) << full.err;

    CommandOutcome filling;
    ASSERT_TRUE(RunOnTinyDevice(dir.path() / "device", "64k", false,
                                {"cluster", dir / "many.mgf", "-o", out.string()}, dir.path() / "filling.log",
                                filling));
    EXPECT_EQ(filling.code, EXIT_OUTPUT) << filling.err;
    EXPECT_TRUE(Contains(filling.err, "full")) << filling.err;

    CommandOutcome search;
    ASSERT_TRUE(RunOnTinyDevice(dir.path() / "device", "8k", false,
                                {"modsearch", dir / "many.mgf", "-o", out.string(), "--threshold", "0"},
                                dir.path() / "search.log", search));
    EXPECT_EQ(search.code, EXIT_OUTPUT) << search.err;
    EXPECT_TRUE(Contains(search.err, "full")) << search.err;
    EXPECT_EQ(ReadFile(dir / "many.mgf"), ManySpectra(600));
}

}  // namespace
}  // namespace speclink::cli
