// The engine against the plain sequential program of PlainModificationSearch.h over
// thousands of random spectrum lists: the same pair list, score.txt, temp.temp, standard
// output and scorer settings afterwards, at 1, 2 and 4 threads.
//
// The lists are made to hit the edges: masses exactly at and just beside the window bounds,
// equal masses, charges 1 to 4, every method, peaks of equal intensity (with more than 16
// of them a second sort can reorder them, which the engine must reproduce), peaks shifted
// by the mass difference so that pairs really match, and now and then a NaN or infinite
// mass or a file name too long for one line buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "speclink/tests/modification/PlainModificationSearch.h"
#include "speclink/library/speclink.h"
#include "speclink/tests/support/TestSupport.h"

namespace speclink {
namespace {

using test::CaptureStdout;
using test::ReadFile;
using test::ScopedCurrentDirectory;
using test::TempDir;

struct Settings {
    Similar_Method method = SIMILAR_DOT_PRODUCT_MOD;
    double tolerance = 0.5;
    Tolerance_Type unit = TOLERANCE_DA;
    CPeakSelect select{static_cast<Peak_Select_Method>(3), 50, 5, 100};
    int32_t lower = 6;
    int32_t upper = 200;
    double threshold = 0.3;
    double grouping = 0.01;
};

// Everything a run leaves behind.
struct Outcome {
    std::string out;
    std::string pairs;
    std::string scores;
    std::string groups;
    Similar_Method method;
    uint64_t tolerance_bits;
    Tolerance_Type unit;

    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << "stdout:\n" << o.out << "\npairs:\n" << o.pairs << "\nscores:\n" << o.scores << "\ntemp.temp:\n" << o.groups
        << "\nscorer: " << o.method << ", " << std::bit_cast<double>(o.tolerance_bits) << ", " << o.unit;
}

enum class Engine { kPlain, kLibrary };
enum class Operation { kRun, kShiftSearch };

// Runs one engine in the current directory, cleared of earlier outputs, and collects what
// it wrote.
Outcome Execute(Engine engine_kind, Operation operation, const std::vector<CSpectrum>& spectra, const Settings& s,
                int threads) {
    for (const char* name : {"pairs.txt", "score.txt", "temp.temp"}) std::filesystem::remove(name);
    CSpectraProcess process(FORMAT_DTA, "", "", "pairs.txt", 10);
    CModificationCluster engine(&process, 20.0, TOLERANCE_PPM, s.threshold, CLUSTER_MODIFICATION);
    engine.lower_mass = s.lower;
    engine.upper_mass = s.upper;
    engine.cluster_masses_tol = s.grouping;
    engine.threads = threads;
    CSimilarity similarity(s.method, s.tolerance, s.unit);
    CPeakSelect select = s.select;
    Outcome outcome;
    outcome.out = CaptureStdout([&] {
        if (engine_kind == Engine::kPlain) {
            if (operation == Operation::kRun) {
                test::plain::Run(engine, spectra, &similarity, &select);
            } else {
                test::plain::RunShiftSearch(engine, spectra, &similarity, &select);
            }
        } else if (operation == Operation::kRun) {
            engine.Run(spectra, &similarity, &select);
        } else {
            engine.RunShiftSearch(spectra, &similarity, &select);
        }
    });
    const auto read = [](const char* name) { return std::filesystem::exists(name) ? ReadFile(name) : "<none>"; };
    outcome.pairs = read("pairs.txt");
    outcome.scores = read("score.txt");
    outcome.groups = read("temp.temp");
    outcome.method = similarity.similar_method;
    outcome.tolerance_bits = std::bit_cast<uint64_t>(similarity.fragment_ion_tol);
    outcome.unit = similarity.fragment_ion_tol_type;
    return outcome;
}

class RandomLists {
public:
    explicit RandomLists(uint64_t seed) : random_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool OneIn(int n) { return Below(n) == 0; }
    template <typename T>
    T Pick(std::initializer_list<T> values) {
        return *(values.begin() + Below(static_cast<int>(values.size())));
    }

    // Masses around 1000 Da at distances that land on, just inside and just outside the
    // default window (6 and 200 Da), with decimals whose differences round either way.
    double Mass() {
        if (OneIn(60)) {
            return Pick({std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity()});
        }
        // Light masses make differences that round (no exact subtraction of values more
        // than a factor of two apart).
        const double base = Pick({1000.0, 1000.1, 1000.3, 999.7, 1500.25, 0.1, 0.3, 1.0 / 3.0, 2.9});
        const double offset = Pick({0.0, 6.0, -6.0, 200.0, -200.0, 5.999, 200.001, -5.999, -200.001, 15.994915,
                                    79.966331, 28.0313, 3.0, 100.5, 250.0, 16.0, 30.0, 6.1, 199.9});
        return base + offset + Pick({0.0, 0.0, 0.0, 0.1, 0.2, 0.7}) + (OneIn(3) ? Pick({0.0, 6.0, 16.0}) : 0.0);
    }

    // Peaks from a shared pool of fragment m/z, some moved by a modification mass (and
    // some doubled), intensities from a short list so that ties are common.
    PeakList Peaks() {
        PeakList peaks;
        const int count = Pick({0, 1, 3, 8, 17, 20, 30, 40});
        const bool one_intensity = OneIn(4);
        for (int k = 0; k < count; ++k) {
            double mz = 100.0 + 7.5 * Below(60);
            switch (Below(6)) {
                case 0: mz += Pick({15.994915, 79.966331, 28.0313, 6.0, 16.0, 100.5}); break;
                case 1: mz = mz * 2.0 + Pick({0.0, 0.3, -1.0}); break;
                case 2: mz += Pick({0.25, 0.5, -0.5, 0.49, 0.1}); break;
                default: break;
            }
            const double intensity = one_intensity ? 4.0 : Pick({1.0, 2.0, 4.0, 4.0, 9.0, 16.0, 25.0, 0.0, 100.0});
            peaks.push_back({mz, intensity});
        }
        std::sort(peaks.begin(), peaks.end(), ByMzAscending);
        return peaks;
    }

    std::vector<CSpectrum> Spectra(int count, bool mostly_doubly) {
        std::vector<CSpectrum> spectra(static_cast<size_t>(count));
        for (int k = 0; k < count; ++k) {
            CSpectrum& s = spectra[static_cast<size_t>(k)];
            s.precursor_mass = Mass();
            s.charge = mostly_doubly && !OneIn(4) ? 2 : 1 + Below(4);
            s.file_name = OneIn(80) ? std::string(300, 'L') + ".dta" : "s" + std::to_string(k) + ".dta";
            s.peaks = Peaks();
        }
        return spectra;
    }

    Settings RandomSettings() {
        Settings s;
        s.method = static_cast<Similar_Method>(OneIn(20) ? Pick({-1, 8}) : Below(8));
        s.unit = static_cast<Tolerance_Type>(Pick({0, 0, 0, 1, 2}));
        s.tolerance = s.unit == 0 ? Pick({0.5, 0.5, 0.25, 1.0, 0.0}) : Pick({20.0, 2500.0});
        switch (Below(6)) {
            case 0: s.select = CPeakSelect(PEAK_SELECT_WHOLE_TOP, Pick({5, 10, 50}), 5, 100); break;
            case 1: s.select = CPeakSelect(PEAK_SELECT_PART_TOP, 50, Pick({1, 2, 5}), Pick({50, 100})); break;
            case 2: s.select = CPeakSelect(PEAK_SELECT_PART_THEN_WHOLE_TOP, Pick({8, 50}), 5, 100); break;
            default: break;
        }
        if (OneIn(4)) {
            const auto window =
                Pick<std::pair<int32_t, int32_t>>({{0, 50}, {-5, 10}, {10, 5}, {3, 3}, {6, 6}, {16, 16}});
            s.lower = window.first;
            s.upper = window.second;
        }
        s.threshold = Pick({0.3, 0.5, -1.0, 0.0, 0.9});
        s.grouping = Pick({0.01, 0.01, 0.5, 2000.0});
        return s;
    }

private:
    std::mt19937_64 random_;
};

TEST(EngineDifferential, RunMatchesThePlainRunAtOneTwoAndFourThreads) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    RandomLists random(20240611);
    for (int round = 0; round < 2000; ++round) {
        // Mostly short lists; now and then one long enough for the progress figures.
        const int count = random.OneIn(10) ? 100 + random.Below(60) : random.Below(30);
        const std::vector<CSpectrum> spectra = random.Spectra(count, false);
        const Settings settings = random.RandomSettings();
        const Outcome expected = Execute(Engine::kPlain, Operation::kRun, spectra, settings, 1);
        for (const int threads : {1, 2, 4}) {
            ASSERT_EQ(Execute(Engine::kLibrary, Operation::kRun, spectra, settings, threads), expected)
                << "round " << round << ", " << threads << " threads";
        }
    }
}

TEST(EngineDifferential, ShiftSearchMatchesThePlainSearchAtOneTwoAndFourThreads) {
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    RandomLists random(7);
    for (int round = 0; round < 600; ++round) {
        const int count = random.OneIn(10) ? 60 + random.Below(40) : random.Below(25);
        const std::vector<CSpectrum> spectra = random.Spectra(count, true);
        Settings settings = random.RandomSettings();
        const Outcome expected = Execute(Engine::kPlain, Operation::kShiftSearch, spectra, settings, 1);
        for (const int threads : {1, 2, 4}) {
            ASSERT_EQ(Execute(Engine::kLibrary, Operation::kShiftSearch, spectra, settings, threads), expected)
                << "round " << round << ", " << threads << " threads";
        }
    }
}

TEST(EngineDifferential, FindBestShiftMatchesThePlainSearch) {
    RandomLists random(99);
    const CModificationCluster engine(nullptr, 20.0, TOLERANCE_PPM, 0.5, CLUSTER_MODIFICATION);
    for (int round = 0; round < 3000; ++round) {
        const CSpectrum a = test::Spectrum().Mass(random.Mass()).Charge(2);
        const CSpectrum b = test::Spectrum().Mass(random.Mass()).Charge(2);
        const PeakList a_peaks = random.Peaks();
        const PeakList b_peaks = random.Peaks();
        double d = a.precursor_mass - b.precursor_mass;
        if (!(std::fabs(d) <= 1000.0)) d = 16.0;
        ASSERT_EQ(engine.FindBestShift(a, b, a_peaks, b_peaks, d),
                  test::plain::FindBestShift(a, b, a_peaks, b_peaks, d))
            << "round " << round;
    }
}

// Twenty peaks of one intensity, closer together than the tolerance: a second sort of the
// sorted list reorders them, so the first spectrum's working copy differs from pair to pair
// in the plain run, and with it which of its peaks takes a contested partner first. The
// engine must score every pair on the list as the plain run holds it then.
TEST(EngineDifferential, EqualIntensitiesReorderedBySortingAgain) {
    PeakList peaks;
    for (int k = 0; k < 20; ++k) peaks.push_back({100.0 + 0.3 * k, 4.0});
    PeakList once = peaks;
    std::sort(once.begin(), once.end(), ByIntensityDescending);
    PeakList twice = once;
    std::sort(twice.begin(), twice.end(), ByIntensityDescending);
    ASSERT_NE(once, twice) << "the case needs a list that a second sort reorders";

    std::vector<CSpectrum> spectra;
    spectra.push_back(test::Spectrum().Name("first.dta").Mass(1100.0).Charge(3).Peaks(peaks));
    for (int k = 0; k < 12; ++k) {
        PeakList partner;
        for (int p = k % 4; p < 20; p += 2 + k % 3) partner.push_back({100.0 + 0.3 * p + 0.05 * (k % 5), 4.0});
        const std::string name = "p" + std::to_string(k) + ".dta";
        spectra.push_back(test::Spectrum().Name(name).Mass(1084.0 - k).Charge(3).Peaks(partner));
    }
    const TempDir dir;
    const ScopedCurrentDirectory cwd(dir.path());
    Settings settings;
    settings.threshold = -1.0;
    for (const Similar_Method method : {SIMILAR_DOT_PRODUCT_MOD, SIMILAR_COMPREHENSIVE, SIMILAR_DOT_PRODUCT}) {
        settings.method = method;
        const Outcome expected = Execute(Engine::kPlain, Operation::kRun, spectra, settings, 1);
        for (const int threads : {1, 2, 4}) {
            EXPECT_EQ(Execute(Engine::kLibrary, Operation::kRun, spectra, settings, threads), expected)
                << "method " << method << ", " << threads << " threads";
        }
    }
}

}  // namespace
}  // namespace speclink
