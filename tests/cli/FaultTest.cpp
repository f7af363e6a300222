// The command under faults of its surroundings: outputs that cannot be written, a full
// device, inputs that cannot be read, and work too large to start. Each fault is reported
// with a message and a non-zero exit status, and no input is lost or overwritten.

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
#include "speclink/cli/InputSpectra.h"

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

// Output directories that cannot be made: below a file, below a device.
TEST(Fault, OutputDirectoryCannotBeCreated) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    WriteFile(dir / "file", "not a directory");
    for (const std::string& out : {(dir.path() / "file" / "out").string(), std::string("/dev/full/out"),
                                   (dir.path() / "small.mgf").string()}) {
        const CommandOutcome outcome = RunCommand({"cluster", dir / "small.mgf", "-o", out});
        EXPECT_EQ(outcome.code, EXIT_OUTPUT) << out << ": " << outcome.err;
        EXPECT_TRUE(Contains(outcome.err, "speclink: error: cannot create the output directory " + out)) << outcome.err;
    }
    EXPECT_EQ(ReadFile(dir / "small.mgf"), kSmallMgf);
}

// A result name that is not a plain name is refused: the run would write elsewhere than into
// the output directory, where it might replace a device or another file.
TEST(Fault, ResultOutsideTheOutputDirectory) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    WriteFile(dir / "keep.csv", "precious\n");
    for (const std::string& result :
         {std::string("/dev/full"), std::string("../keep.csv"), (dir / "keep.csv"), std::string("missing/r.csv")}) {
        const CommandOutcome outcome = RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out", "--result", result});
        EXPECT_EQ(outcome.code, EXIT_USAGE) << result;
        EXPECT_TRUE(Contains(outcome.err, "the result file '" + result + "' must be a plain file name")) << outcome.err;
    }
    EXPECT_EQ(ReadFile(dir / "keep.csv"), "precious\n");
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

// A file or directory that speclink did not write, standing where a result goes, is refused
// before any work and left as it is.
TEST(Fault, ForeignFileWhereAResultGoes) {
    for (const char* command : {"cluster", "modsearch"}) {
        const TempDir dir;
        WriteFile(dir / "small.mgf", kSmallMgf);
        fs::create_directories(dir.path() / "out" / "taken");
        const CommandOutcome outcome =
            RunCommand({command, dir / "small.mgf", "-o", dir / "out", "--result", "taken"});
        EXPECT_EQ(outcome.code, EXIT_USAGE) << command << ": " << outcome.err;
        EXPECT_TRUE(Contains(outcome.err, "already holds taken, which speclink did not write")) << outcome.err;
        EXPECT_TRUE(fs::is_directory(dir.path() / "out" / "taken"));
    }
}

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

// An input whose reading fails after it was opened (the kernel refuses reads of this file at
// offset 0), and an input directory without spectra.
TEST(Fault, UnreadableInput) {
    const TempDir dir;
    fs::create_directories(dir.path() / "empty-dir");
    const CommandOutcome unreadable = RunCommand({"cluster", "/proc/self/mem", "-o", dir / "out"});
    EXPECT_EQ(unreadable.code, EXIT_INPUT) << unreadable.err;
    EXPECT_TRUE(Contains(unreadable.err, "speclink: error: /proc/self/mem:byte 0: read error: Input/output error"))
        << unreadable.err;
    const CommandOutcome empty = RunCommand({"cluster", dir / "empty-dir", "-o", dir / "out"});
    EXPECT_EQ(empty.code, EXIT_INPUT) << empty.err;
    EXPECT_TRUE(Contains(empty.err, "empty-dir: directory holds no .dta files")) << empty.err;
}

// A precursor group larger than --max-group-size is refused before any work, naming the group
// and the option; at the limit the run goes ahead.
TEST(Fault, PrecursorGroupAboveTheLimit) {
    const TempDir dir;
    WriteFile(dir / "small.mgf", kSmallMgf);
    const CommandOutcome refused =
        RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out", "--max-group-size", "2"});
    EXPECT_EQ(refused.code, EXIT_LIMIT) << refused.err;
    EXPECT_TRUE(Contains(refused.err,
                         "speclink: error: a precursor group of 3 spectra (charge 2, [M+H]+ from 999.4927 Da, first "
                         "spectrum 'small.1.1.2.dta', sweep positions 1 to 3) exceeds --max-group-size 2; clustering "
                         "it takes 3 scores and 0.0 MB for its score triangle. Raise the limit with "
                         "--max-group-size or narrow --precursor-tol."))
        << refused.err;
    EXPECT_FALSE(fs::exists(dir.path() / "out" / "clusters.csv"));
    EXPECT_FALSE(Contains(refused.out, "Clustering done!"));

    const CommandOutcome allowed =
        RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out", "--max-group-size", "3"});
    EXPECT_EQ(allowed.code, EXIT_OK) << allowed.err;
    EXPECT_EQ(RunCommand({"cluster", dir / "small.mgf", "-o", dir / "out", "--max-group-size", "0"}).code, EXIT_USAGE);
}

}  // namespace
}  // namespace speclink::cli
