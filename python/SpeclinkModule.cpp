// _speclink: the compiled part of the Python module speclink (see speclink/__init__.py, which
// adds the conversion of spectra from other libraries and the documented entry points).

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <unordered_map>
#include <numeric>
#include <optional>
#include <mutex>
#include <shared_mutex>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "speclink/cli/ClusterOutputs.h"
#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/ParameterCheck.h"
#include "speclink/cli/RunFiles.h"
#include "speclink/cli/ScopedWorkingDirectory.h"
#include "speclink/formats/FormatError.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/formats/MzmlWriter.h"
#include "speclink/formats/ProtonMass.h"
#include "speclink/formats/SpectrumNaming.h"
#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/consensus/ConsensusSpectrum.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/peaks/PeakSelect.h"
#include "speclink/library/peaks/SqrtNormalize.h"
#include "speclink/library/scoring/Similarity.h"

namespace py = pybind11;
namespace fs = std::filesystem;

namespace speclink::python {

namespace {

using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// A spectrum as Python holds it: a record, with the file it came from and its native id.
struct Spectrum {
    CSpectrum record;
    std::string native_id;
    std::string source;
    // While its peaks are lent to an engine run: where they went (see Cluster).
    std::optional<std::size_t> lent_to;
};

[[noreturn]] void Refuse(const std::string& message) { throw py::value_error(message); }

// Spectra per block of work of the loops over spectra shared among threads.
constexpr std::size_t kSpectraPerBlock = 4096;

// The peaks of the spectra a cluster() call works on are lent to the engine for its run:
// moved into the engine's records and back, not copied. What reads the peaks of spectra holds
// this lock shared, the lending holds it alone; either waits without the interpreter lock,
// so that a thread that reads peaks during a run waits for them.
std::shared_mutex& PeaksLock() {
    static std::shared_mutex lock;
    return lock;
}

std::shared_lock<std::shared_mutex> ReadingPeaks() {
    std::shared_lock lock(PeaksLock(), std::try_to_lock);
    if (!lock.owns_lock()) {
        const py::gil_scoped_release unlocked;
        lock.lock();
    }
    return lock;
}

// The peaks of two arrays of one length, every m/z positive and every intensity at least 0,
// all finite.
PeakList PeaksOf(const Array& mz, const Array& intensity) {
    if (mz.ndim() != 1 || intensity.ndim() != 1) Refuse("mz and intensity must be one-dimensional arrays");
    if (mz.shape(0) != intensity.shape(0)) {
        Refuse("mz and intensity differ in length (" + std::to_string(mz.shape(0)) + " and " +
               std::to_string(intensity.shape(0)) + ")");
    }
    PeakList peaks(static_cast<std::size_t>(mz.shape(0)));
    const auto m = mz.unchecked<1>();
    const auto i = intensity.unchecked<1>();
    for (py::ssize_t k = 0; k < mz.shape(0); ++k) {
        if (!std::isfinite(m(k)) || m(k) <= 0.0) Refuse("peak " + std::to_string(k) + ": m/z must be a positive finite number");
        if (!std::isfinite(i(k)) || i(k) < 0.0) Refuse("peak " + std::to_string(k) + ": intensity must be finite and at least 0");
        peaks[static_cast<std::size_t>(k)] = {m(k), i(k)};
    }
    return peaks;
}

Spectrum MakeSpectrum(const Array& mz, const Array& intensity, double precursor_mz, int charge, double retention_time,
                      const std::string& native_id, const std::string& title, int scan, const std::string& peptide) {
    if (!std::isfinite(precursor_mz) || precursor_mz <= 0.0) Refuse("precursor_mz must be a positive finite number");
    if (charge < 1) Refuse("charge must be 1 or more, got " + std::to_string(charge));
    if (!std::isfinite(retention_time)) Refuse("retention_time must be finite");
    Spectrum spectrum;
    CSpectrum& record = spectrum.record;
    record.peaks = PeaksOf(mz, intensity);
    if (record.peaks.empty()) Refuse("a spectrum needs peaks");
    record.precursor_mz = precursor_mz;
    record.charge = charge;
    record.precursor_mass = MassFromMz(precursor_mz, charge);
    record.retention_time = retention_time;
    record.title = title;
    record.scan = scan;
    record.peptide = peptide;
    spectrum.native_id = native_id;
    return spectrum;
}

py::array_t<double> Column(const PeakList& peaks, bool mz) {
    py::array_t<double> values(static_cast<py::ssize_t>(peaks.size()));
    auto out = values.mutable_unchecked<1>();
    for (std::size_t k = 0; k < peaks.size(); ++k) out(static_cast<py::ssize_t>(k)) = mz ? peaks[k].mz : peaks[k].intensity;
    return values;
}

// The records of `spectra` as a run holds them, in the order `order` gives (positions of
// `spectra`), each copied once: sources as inputs, names given where they are missing
// ("spectra.<scan or position>.<scan or position>.<charge>.dta") and made unique in the order
// of `spectra`, as a run makes them in the order it reads.
cli::InputSpectra Input(const std::vector<const Spectrum*>& spectra, const std::vector<std::size_t>& order) {
    const auto reading = ReadingPeaks();
    cli::InputSpectra input;
    std::vector<std::string> names(spectra.size());
    std::vector<uint32_t> inputs(spectra.size());
    {
        std::unordered_map<std::string_view, uint32_t> sources;
        cli::UniqueNames unique;
        for (std::size_t k = 0; k < spectra.size(); ++k) {
            const Spectrum& spectrum = *spectra[k];
            const auto [source, added] =
                sources.try_emplace(spectrum.source, static_cast<uint32_t>(input.files.size()));
            if (added) input.files.push_back({spectrum.source.empty() ? "python" : spectrum.source, {}, false});
            inputs[k] = source->second;
            names[k] = spectrum.record.file_name;
            if (names[k].empty()) {
                const int scan = spectrum.record.scan > 0 ? spectrum.record.scan : static_cast<int>(k + 1);
                names[k] = RecordFileName("spectra", scan, spectrum.record.charge);
            }
            if (unique.MakeUnique(names[k])) ++input.renamed;
        }
    }
    input.spectra.reserve(order.size());
    input.origins.reserve(order.size());
    for (const std::size_t k : order) {
        input.spectra.push_back(spectra[k]->record);
        input.spectra.back().file_name = std::move(names[k]);
        input.origins.push_back({inputs[k], spectra[k]->native_id});
    }
    return input;
}

// The order a job works in, as positions of `spectra`: stable by charge, then mass (in
// input order with `keep_order`). Compact keys keep the sort in cache.
std::vector<std::size_t> JobOrder(const std::vector<const Spectrum*>& spectra, bool descending, bool keep_order,
                                  int threads = 1) {
    struct Key {
        int32_t charge;
        double mass;
        std::size_t position;
    };
    for (const Spectrum* spectrum : spectra) {
        if (spectrum == nullptr) Refuse("None is not a spectrum");
    }
    // The records lie all over memory: their keys are gathered on the threads.
    std::vector<Key> keys(spectra.size());
    RunInOrder<char>(
        spectra.size(), kSpectraPerBlock, threads, [] { return 0; },
        [&](int, std::size_t first, std::size_t end, char&) {
            for (std::size_t k = first; k < end; ++k) {
                keys[k] = {spectra[k]->record.charge, spectra[k]->record.precursor_mass, k};
            }
        },
        [](char) {});
    if (!keep_order) {
        // The position last makes the order total: the order of a stable sort, sooner.
        std::sort(keys.begin(), keys.end(), [descending](const Key& x, const Key& y) {
            if (x.charge != y.charge) return descending ? x.charge > y.charge : x.charge < y.charge;
            if (x.mass != y.mass) return descending ? x.mass > y.mass : x.mass < y.mass;
            return x.position < y.position;
        });
    }
    std::vector<std::size_t> order;
    order.reserve(keys.size());
    for (const Key& key : keys) order.push_back(key.position);
    return order;
}

void Validate(const Settings& settings) {
    try {
        settings.Validate();
    } catch (const std::invalid_argument& error) {
        Refuse(error.what());
    }
}

// ---------------------------------------------------------------------------------------

// What cluster() gives. The engine ran on the fields it reads (charge, [M+H]+, peaks) in
// sweep order; the spectra themselves are kept for what needs the rest (write, consensus).
class ClusterResult {
public:
    ClusterResult(std::vector<const Spectrum*> spectra, py::object owner, std::vector<std::size_t> order,
                  std::vector<Clustering> clusterings, std::vector<double> sweep, int threads, double engine_seconds)
        : spectra_(std::move(spectra)),
          owner_(std::move(owner)),
          order_(std::move(order)),
          clusterings_(std::move(clusterings)),
          sweep_(std::move(sweep)),
          threads_(threads),
          engine_seconds_(engine_seconds) {}

    double engine_seconds() const { return engine_seconds_; }

    // Cluster numbers (from 1, in the order of clusters.csv) of the input spectra, by the
    // clustering at `which` (0: the threshold, then the sweep's).
    py::array_t<int64_t> Labels(std::size_t which) const {
        if (which >= clusterings_.size()) Refuse("no clustering at position " + std::to_string(which));
        const ClusterWalks walks = WalkClusters(clusterings_[which].links);
        py::array_t<int64_t> labels(static_cast<py::ssize_t>(order_.size()));
        auto out = labels.mutable_unchecked<1>();
        for (std::size_t cluster = 0; cluster < walks.size(); ++cluster) {
            for (const int32_t member : walks[cluster]) {
                out(static_cast<py::ssize_t>(order_[static_cast<std::size_t>(member)])) = static_cast<int64_t>(cluster + 1);
            }
        }
        return labels;
    }

    py::array_t<int64_t> Representatives() const {
        const Clustering& clustering = clusterings_.front();
        const ClusterWalks walks = WalkClusters(clustering.links);
        std::vector<bool> representative(order_.size(), false);
        for (const int32_t k : clustering.representatives) representative[static_cast<std::size_t>(k)] = true;
        py::array_t<int64_t> chosen(static_cast<py::ssize_t>(walks.size()));
        auto out = chosen.mutable_unchecked<1>();
        for (std::size_t cluster = 0; cluster < walks.size(); ++cluster) {
            const std::span<const int32_t> members = walks[cluster];
            const auto it = std::find_if(members.begin(), members.end(), [&](int32_t k) {
                return representative[static_cast<std::size_t>(k)] || members.size() == 1;
            });
            out(static_cast<py::ssize_t>(cluster)) = static_cast<int64_t>(order_[static_cast<std::size_t>(*it)]);
        }
        return chosen;
    }

    std::vector<Spectrum> Consensus() const {
        const auto reading = ReadingPeaks();
        const ClusterWalks walks = WalkClusters(clusterings_.front().links);
        std::vector<Spectrum> consensus;
        for (std::size_t cluster = 0; cluster < walks.size(); ++cluster) {
            if (walks[cluster].size() < 2) continue;
            // The members' records as the engine read them (their peaks are back in the spectra).
            std::vector<CSpectrum> members;
            for (const int32_t k : walks[cluster]) {
                const CSpectrum& record = spectra_[order_[static_cast<std::size_t>(k)]]->record;
                members.emplace_back();
                members.back().charge = record.charge;
                members.back().precursor_mass = record.precursor_mass;
                members.back().peaks = record.peaks;
            }
            std::vector<int32_t> positions(members.size());
            std::iota(positions.begin(), positions.end(), 0);
            const ConsensusSpectrum made = MakeConsensusSpectrum(members, positions);
            Spectrum spectrum;
            spectrum.record.peaks = made.peaks;
            spectrum.record.charge = made.charge;
            spectrum.record.precursor_mass = made.precursor_mass;
            spectrum.record.precursor_mz = MzFromMass(made.precursor_mass, made.charge);
            spectrum.record.title = "cluster " + std::to_string(cluster + 1) + ", consensus of " +
                                    std::to_string(walks[cluster].size()) + " spectra";
            spectrum.record.scan = static_cast<int32_t>(cluster + 1);
            consensus.push_back(std::move(spectrum));
        }
        return consensus;
    }

    std::size_t clusters() const { return WalkClusters(clusterings_.front().links).size(); }

    void Write(const fs::path& directory, bool singles, bool representatives) const {
        fs::create_directories(directory);
        const cli::InputSpectra ordered = Input(spectra_, order_);
        const py::gil_scoped_release unlocked;
        cli::ClusterOutputFiles files(directory, cli::kClusterResultDefault, sweep_, {singles, representatives}, threads_);
        files.Append(ordered, clusterings_);
        files.Close();
    }

private:
    std::vector<const Spectrum*> spectra_;
    py::object owner_;                // keeps the spectra alive
    std::vector<std::size_t> order_;  // input position of each record in sweep order
    std::vector<Clustering> clusterings_;
    std::vector<double> sweep_;
    int threads_;
    double engine_seconds_;
};

ClusterResult Cluster(const py::iterable& items, const py::function& convert, Settings settings, int threads,
                      std::vector<double> sweep) {
    // The spectra, each converted by `convert` unless it is one already; a list of spectra
    // is kept as it is.
    std::vector<const Spectrum*> spectra;
    py::object owner = items;
    bool all_spectra = py::isinstance<py::list>(items);
    if (all_spectra) {
        spectra.reserve(py::len(items));
        for (const py::handle item : items) {
            if (!py::isinstance<Spectrum>(item)) {
                all_spectra = false;
                break;
            }
            spectra.push_back(item.cast<const Spectrum*>());
        }
    }
    if (!all_spectra) {
        spectra.clear();
        py::list converted;
        for (const py::handle item : items) {
            py::object spectrum =
                py::isinstance<Spectrum>(item) ? py::reinterpret_borrow<py::object>(item) : convert(item);
            spectra.push_back(spectrum.cast<const Spectrum*>());
            converted.append(std::move(spectrum));
        }
        owner = converted;
    }
    settings.cluster_type = CLUSTER_HIERARCHICAL;
    Validate(settings);
    for (const double threshold : sweep) {
        if (!(threshold >= 0.0 && threshold <= 1.0)) Refuse("thresholds must lie in 0 to 1");
    }
    std::vector<std::size_t> order = JobOrder(spectra, false, false, threads);
    CPara para;
    settings.Configure(para);
    auto& engine = dynamic_cast<CHierarchicalCluster&>(*para.engine);
    engine.threads = threads;
    std::vector<double> thresholds = {engine.threshold};
    thresholds.insert(thresholds.end(), sweep.begin(), sweep.end());
    // The engine's records in sweep order, their peaks lent by the spectra (copied for a
    // spectrum given more than once).
    std::vector<CSpectrum> swept(order.size());
    std::vector<Clustering> clusterings;
    double engine_seconds = 0.0;
    std::unique_lock lending(PeaksLock(), std::try_to_lock);
    if (!lending.owns_lock()) {
        const py::gil_scoped_release unlocked;
        lending.lock();
    }
    // Peaks go into the engine's records and, swapped once more, come back; a spectrum given
    // more than once lends its peaks once and the others copy them.
    const auto lend = [&] {
        for (std::size_t k = 0; k < order.size(); ++k) {
            Spectrum& spectrum = *const_cast<Spectrum*>(spectra[order[k]]);
            swept[k].charge = spectrum.record.charge;
            swept[k].precursor_mass = spectrum.record.precursor_mass;
            if (spectrum.lent_to) {
                swept[k].peaks = swept[*spectrum.lent_to].peaks;
            } else {
                swept[k].peaks.swap(spectrum.record.peaks);
                spectrum.lent_to = k;
            }
        }
    };
    // Each spectrum takes back its own peaks: on the threads.
    const auto give_back = [&] {
        RunInOrder<char>(
            order.size(), kSpectraPerBlock, threads, [] { return 0; },
            [&](int, std::size_t first, std::size_t end, char&) {
                for (std::size_t k = first; k < end; ++k) {
                    Spectrum& spectrum = *const_cast<Spectrum*>(spectra[order[k]]);
                    if (spectrum.lent_to != k) continue;
                    spectrum.record.peaks.swap(swept[k].peaks);
                    spectrum.lent_to.reset();
                }
            },
            [](char) {});
    };
    lend();
    {
        const py::gil_scoped_release unlocked;
        const auto started = std::chrono::steady_clock::now();
        try {
            clusterings = engine.ClusterSpectraAt(swept, para.similarity, para.peak_select, thresholds);
        } catch (...) {
            give_back();
            throw;
        }
        engine_seconds = cli::SecondsSince(started);
    }
    give_back();
    return ClusterResult(std::move(spectra), owner, std::move(order), std::move(clusterings), std::move(sweep), threads,
                         engine_seconds);
}

// ---------------------------------------------------------------------------------------

// A row of ModsearchResult.pairs.
struct PairRow {
    int64_t first;
    int64_t second;
    double mass_difference;
    double score;
};

// What modsearch() gives: the engine's files are kept in a directory of their own until
// written where the caller says.
class ModsearchResult {
public:
    ModsearchResult(fs::path files, cli::EngineRequest request, Settings settings, std::vector<ListedPair> pairs,
                    std::vector<uint64_t> score_counts, std::vector<std::size_t> order, std::string engine_output)
        : files_(std::move(files)),
          request_(std::move(request)),
          settings_(std::move(settings)),
          pairs_(std::move(pairs)),
          score_counts_(std::move(score_counts)),
          order_(std::move(order)),
          engine_output_(std::move(engine_output)) {}
    ModsearchResult(const ModsearchResult&) = delete;
    ModsearchResult(ModsearchResult&&) = default;
    ~ModsearchResult() {
        std::error_code ec;
        if (!files_.empty()) fs::remove_all(files_, ec);
    }

    py::array Pairs() const {
        py::array_t<PairRow> rows(static_cast<py::ssize_t>(pairs_.size()));
        auto out = rows.mutable_unchecked<1>();
        for (std::size_t k = 0; k < pairs_.size(); ++k) {
            out(static_cast<py::ssize_t>(k)) = {static_cast<int64_t>(order_[pairs_[k].first]),
                                                static_cast<int64_t>(order_[pairs_[k].second]),
                                                pairs_[k].mass_difference, pairs_[k].score};
        }
        return rows;
    }

    // The mass-offset profile, most pairs first, as a list of dicts.
    py::list Offsets() const {
        const std::vector<cli::NamedOffset> offsets = Profile();
        py::list rows;
        for (const cli::NamedOffset& named : offsets) {
            py::dict row;
            row["apex"] = named.offset.apex;
            row["lower"] = named.offset.lower;
            row["upper"] = named.offset.upper;
            row["pairs"] = named.offset.pairs;
            row["spectra"] = named.offset.spectra;
            row["median_score"] = named.offset.median_score;
            row["name"] = named.Name();
            rows.append(row);
        }
        return rows;
    }

    py::array_t<uint64_t> ScoreCounts() const { return py::array_t<uint64_t>(score_counts_.size(), score_counts_.data()); }

    const std::string& engine_output() const { return engine_output_; }

    // The files of speclink modsearch: the pair list, temp.temp, score_histogram.tsv (and
    // score.txt with raw_scores), offsets.tsv, offsets.svg and report.html.
    void Write(const fs::path& directory) const {
        fs::create_directories(directory);
        for (const char* name : {cli::kPairListDefault, cli::kMassDifferences, cli::kScoreFile}) {
            if (fs::exists(files_ / name)) fs::copy_file(files_ / name, directory / name, fs::copy_options::overwrite_existing);
        }
        cli::WriteScoreHistogram(directory / cli::kScoreHistogram, score_counts_);
        cli::WriteOffsetProfile(request_, settings_, pairs_, order_.size(), directory);
    }

private:
    std::vector<cli::NamedOffset> Profile() const { return cli::NamedMassOffsets(request_, pairs_); }

    fs::path files_;
    cli::EngineRequest request_;
    Settings settings_;
    std::vector<ListedPair> pairs_;
    std::vector<uint64_t> score_counts_;
    std::vector<std::size_t> order_;
    std::string engine_output_;
};

// The standard output of `run`, kept rather than shown.
template <typename Run>
std::string Captured(const fs::path& file, Run&& run) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int into = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (saved < 0 || into < 0) throw std::system_error(errno, std::generic_category(), "cannot capture output");
    dup2(into, STDOUT_FILENO);
    close(into);
    const auto restore = [&] {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    };
    try {
        run();
    } catch (...) {
        restore();
        throw;
    }
    restore();
    std::ifstream text(file);
    std::ostringstream copy;
    copy << text.rdbuf();
    return copy.str();
}

ModsearchResult Modsearch(const std::vector<const Spectrum*>& spectra, Settings settings, int threads, bool keep_order,
                          bool raw_scores, const std::string& unimod, double offset_width, double offset_tol) {
    settings.cluster_type = CLUSTER_MODIFICATION;
    Validate(settings);
    std::vector<std::size_t> order = JobOrder(spectra, true, keep_order);
    const cli::InputSpectra ordered = Input(spectra, order);

    std::string pattern = (fs::temp_directory_path() / "speclink-modsearch-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), "mkdtemp");
    const fs::path files = pattern;
    cli::EngineRequest request;
    request.job = cli::kModsearchJob;
    request.command = "modsearch";
    request.command_line = "speclink.modsearch (Python)";
    request.keep_order = keep_order;
    request.modsearch.raw_scores = raw_scores;
    request.modsearch.unimod = unimod;
    request.modsearch.offset_width = offset_width;
    request.modsearch.offset_tol = offset_tol;
    Settings staged = settings;
    staged.out_directory = files.string();
    staged.cluster_result = (files / cli::kPairListDefault).string();
    CPara para;
    staged.Configure(para);
    auto& engine = dynamic_cast<CModificationCluster&>(*para.engine);
    engine.threads = threads;
    engine.list_scores = raw_scores;
    std::string output;
    {
        const py::gil_scoped_release unlocked;
        const cli::ScopedWorkingDirectory in_files(files);
        output = Captured(files / "engine-output", [&] { engine.Run(ordered.spectra, para.similarity, para.peak_select); });
        fs::remove(files / "engine-output");
    }
    return ModsearchResult(files, request, settings, engine.last_pairs(), engine.score_counts(), std::move(order),
                           std::move(output));
}

// ---------------------------------------------------------------------------------------

PeakList Prepared(PeakList peaks, const CPeakSelect* select) {
    if (select != nullptr) {
        select->SelectPeak(peaks);
        SqrtNormalize(peaks);
    }
    return peaks;
}

double Score(const Spectrum& a, const Spectrum& b, const std::string& method, const std::string& tolerance,
             std::optional<double> shift, bool raw) {
    Similar_Method chosen = SIMILAR_DOT_PRODUCT;
    Tolerance tol;
    try {
        chosen = ParseSimilarMethod(method);
        tol = ParseTolerance(tolerance);
    } catch (const std::invalid_argument& error) {
        Refuse(error.what());
    }
    if (chosen == SIMILAR_COMPREHENSIVE) Refuse("\"comprehensive\" is resolved per pair by modsearch; pick another");
    const auto reading = ReadingPeaks();
    const CPeakSelect select(defaults::kPeakSelectMethod, defaults::kWholeTopPeakNum, defaults::kPartTopPeakNum,
                             defaults::kPartTopPeakPerNum);
    PeakList first = Prepared(a.record.peaks, raw ? nullptr : &select);
    PeakList second = Prepared(b.record.peaks, raw ? nullptr : &select);
    CSimilarity scorer(chosen, tol.value, tol.unit);
    return scorer.ComputeScore(first, second, shift.value_or(a.record.precursor_mass - b.record.precursor_mass));
}

py::tuple SelectPeaks(const Array& mz, const Array& intensity, int method, int whole_top, int part_top, int part_width) {
    if (method < 0 || method > 3) Refuse("peak selection method must be 0 to 3");
    if (part_top < 1 || part_width < 1) Refuse("part_top and part_width must be 1 or more");
    PeakList peaks = PeaksOf(mz, intensity);
    CPeakSelect(static_cast<Peak_Select_Method>(method), whole_top, part_top, part_width).SelectPeak(peaks);
    return py::make_tuple(Column(peaks, true), Column(peaks, false));
}

std::vector<Spectrum> Read(const std::vector<std::string>& paths, const std::vector<int>& charges, int threads) {
    cli::InputSpectra input;
    {
        const py::gil_scoped_release unlocked;
        input = cli::ReadInputs(paths, charges, threads);
    }
    std::vector<Spectrum> spectra;
    spectra.reserve(input.spectra.size());
    for (std::size_t k = 0; k < input.spectra.size(); ++k) {
        spectra.push_back({std::move(input.spectra[k]), std::move(input.origins[k].native_id),
                           input.files[input.origins[k].input].path, std::nullopt});
    }
    return spectra;
}

void Write(const std::string& path, const std::vector<const Spectrum*>& spectra) {
    const auto reading = ReadingPeaks();
    const bool mzml = path.ends_with(".mzML") || path.ends_with(".mzml");
    if (mzml) {
        MzmlWriter writer(path);
        for (const Spectrum* spectrum : spectra) writer.Write(spectrum->record);
        writer.Close();
        return;
    }
    std::ofstream out(path, std::ios::binary);
    for (const Spectrum* spectrum : spectra) out << MgfEntry(spectrum->record);
    out.close();
    if (!out) throw std::system_error(errno, std::generic_category(), "cannot write " + path);
}

}  // namespace

}  // namespace speclink::python

PYBIND11_MODULE(_speclink, m) {
    using namespace speclink;
    using namespace speclink::python;
    m.doc() = "The compiled part of speclink; use the package speclink.";
    PYBIND11_NUMPY_DTYPE(PairRow, first, second, mass_difference, score);

    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) std::rethrow_exception(error);
        } catch (const cli::UsageError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const cli::InputError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const FormatError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const std::system_error& e) {
            PyErr_SetString(PyExc_OSError, e.what());
        }
    });

    py::class_<Spectrum>(m, "Spectrum", "One MS/MS spectrum: precursor, charge and peaks.")
        .def(py::init(&MakeSpectrum), py::arg("mz"), py::arg("intensity"), py::arg("precursor_mz"), py::arg("charge"),
             py::arg("retention_time") = 0.0, py::arg("native_id") = "", py::arg("title") = "", py::arg("scan") = 0,
             py::arg("peptide") = "",
             "A spectrum from arrays of m/z and intensity of one length (m/z positive, intensity at least 0, "
             "all finite), a positive precursor m/z and a charge of 1 or more.")
        .def_property_readonly("mz", [](const Spectrum& s) {
                                   const auto reading = ReadingPeaks();
                                   return Column(s.record.peaks, true);
                               },
                               "Peak m/z (Th), a new numpy array")
        .def_property_readonly("intensity", [](const Spectrum& s) {
                                   const auto reading = ReadingPeaks();
                                   return Column(s.record.peaks, false);
                               },
                               "Peak intensities, a new numpy array")
        .def_property_readonly("precursor_mz", [](const Spectrum& s) { return s.record.precursor_mz; })
        .def_property_readonly("precursor_mass", [](const Spectrum& s) { return s.record.precursor_mass; },
                               "[M+H]+ (Da) at the spectrum's charge")
        .def_property_readonly("charge", [](const Spectrum& s) { return s.record.charge; })
        .def_property_readonly("retention_time", [](const Spectrum& s) { return s.record.retention_time; },
                               "Seconds")
        .def_property_readonly("native_id", [](const Spectrum& s) { return s.native_id; })
        .def_property_readonly("title", [](const Spectrum& s) { return s.record.title; })
        .def_property_readonly("scan", [](const Spectrum& s) { return s.record.scan; })
        .def_property_readonly("peptide", [](const Spectrum& s) { return s.record.peptide; })
        .def_property_readonly("name", [](const Spectrum& s) { return s.record.file_name; },
                               "The record's name, as the result files give it")
        .def_property_readonly("source", [](const Spectrum& s) { return s.source; }, "The file it was read from")
        .def("__repr__", [](const Spectrum& s) {
            const auto reading = ReadingPeaks();
            return "<speclink.Spectrum precursor_mz=" + std::to_string(s.record.precursor_mz) +
                   " charge=" + std::to_string(s.record.charge) + " peaks=" + std::to_string(s.record.peaks.size()) +
                   (s.native_id.empty() ? "" : " native_id='" + s.native_id + "'") + ">";
        });

    py::class_<Settings>(m, "Params", "Every setting of a run, starting from the defaults.")
        .def(py::init<>())
        .def_static("read", [](const fs::path& path, bool lenient) { return cli::ReadParameterFile(path.string(), lenient); },
                    py::arg("path"), py::arg("lenient") = false,
                    "Reads a parameter file as the library reads it; ValueError for one it reads otherwise than it "
                    "says (unless lenient).")
        .def("write", [](const Settings& s, const fs::path& path) {
                 std::ofstream out(path, std::ios::binary);
                 out << SettingsFileText(s);
                 out.close();
                 if (!out) throw std::system_error(errno, std::generic_category(), "cannot write " + path.string());
             }, py::arg("path"), "Writes a parameter file that reads back to exactly these settings.")
        .def_readwrite("threshold", &Settings::threshold)
        .def_property("precursor_tol", [](const Settings& s) { return FormatTolerance(s.precursor_ion_tol); },
                      [](Settings& s, const std::string& text) { s.precursor_ion_tol = ParseTolerance(text); },
                      "e.g. \"20ppm\" or \"0.5Da\"")
        .def_property("fragment_tol", [](const Settings& s) { return FormatTolerance(s.fragment_ion_tol); },
                      [](Settings& s, const std::string& text) { s.fragment_ion_tol = ParseTolerance(text); })
        .def_property("method", [](const Settings& s) { return std::string(SimilarMethodNames[s.similar_method]); },
                      [](Settings& s, const std::string& text) { s.similar_method = ParseSimilarMethod(text); },
                      "The similarity method, by name or number")
        .def_property("peak_select_method", [](const Settings& s) { return static_cast<int>(s.peak_select_method); },
                      [](Settings& s, int method) { s.peak_select_method = static_cast<Peak_Select_Method>(method); })
        .def_readwrite("whole_top_peak_num", &Settings::whole_top_peak_num)
        .def_readwrite("part_top_peak_num", &Settings::part_top_peak_num)
        .def_readwrite("part_top_peak_per_num", &Settings::part_top_peak_per_num)
        .def_readwrite("lower_mass", &Settings::lower_mass)
        .def_readwrite("upper_mass", &Settings::upper_mass)
        .def_readwrite("cluster_masses_tol", &Settings::cluster_masses_tol)
        .def("__eq__", [](const Settings& a, const Settings& b) { return a == b; })
        .def("__repr__", [](const Settings& s) { return SettingsFileText(s); });

    py::class_<ClusterResult>(m, "ClusterResult", "What cluster() gives.")
        .def_property_readonly("labels", [](const ClusterResult& r) { return r.Labels(0); },
                               "Cluster number (from 1, as clusters.tsv numbers them) of each input spectrum")
        .def("labels_at", &ClusterResult::Labels, py::arg("which"),
             "Labels at the which-th threshold of the sweep (1, 2, ...; 0 is the run's threshold)")
        .def_property_readonly("representatives", &ClusterResult::Representatives,
                               "Input position of each cluster's representative, in cluster order")
        .def_property_readonly("consensus", &ClusterResult::Consensus,
                               "Consensus spectra of the clusters of two or more, in cluster order")
        .def_property_readonly("clusters", &ClusterResult::clusters)
        .def_property_readonly("engine_seconds", &ClusterResult::engine_seconds,
                               "Seconds the clustering engine itself took, within the call")
        .def("write", &ClusterResult::Write, py::arg("directory"), py::arg("singles") = false,
             py::arg("representatives") = false,
             "Writes clusters.csv, clusters.tsv and consensus.mgf (and representatives.mgf) as speclink cluster "
             "writes them");

    py::class_<ModsearchResult>(m, "ModsearchResult", "What modsearch() gives.")
        .def_property_readonly("pairs", &ModsearchResult::Pairs,
                               "The pairs above the threshold: first, second (input positions), mass_difference "
                               "(first minus second, Da), score")
        .def_property_readonly("offsets", &ModsearchResult::Offsets,
                               "The mass-offset profile, most pairs first: apex, lower, upper, pairs, spectra, "
                               "median_score, name")
        .def_property_readonly("score_counts", &ModsearchResult::ScoreCounts,
                               "Pairs per square root of a score above 0.0001, by value x 10000")
        .def_property_readonly("engine_output", &ModsearchResult::engine_output)
        .def("write", &ModsearchResult::Write, py::arg("directory"),
             "Writes the files of speclink modsearch: pairs.csv, temp.temp, score_histogram.tsv, offsets.tsv, "
             "offsets.svg, report.html (and score.txt with raw_scores)");

    m.def("_read", &Read, py::arg("paths"), py::arg("charges"), py::arg("threads"));
    m.def("_write", &Write, py::arg("path"), py::arg("spectra"));
    m.def("_cluster", &Cluster, py::arg("spectra"), py::arg("convert"), py::arg("params"), py::arg("threads"),
          py::arg("sweep"));
    m.def("_modsearch", &Modsearch, py::arg("spectra"), py::arg("params"), py::arg("threads"), py::arg("keep_order"),
          py::arg("raw_scores"), py::arg("unimod"), py::arg("offset_width"), py::arg("offset_tol"));
    m.def("_score", &Score, py::arg("a"), py::arg("b"), py::arg("method"), py::arg("tol"), py::arg("shift"),
          py::arg("raw"));
    m.def("_select_peaks", &SelectPeaks, py::arg("mz"), py::arg("intensity"), py::arg("method"), py::arg("whole_top"),
          py::arg("part_top"), py::arg("part_width"));
}
