#include "speclink/mpi/MpiEngineRun.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <numeric>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "speclink/cli/ClusterOutputs.h"
#include "speclink/cli/CommandErrors.h"
#include "speclink/cli/GroupLimit.h"
#include "speclink/cli/InputSpectra.h"
#include "speclink/cli/Interruption.h"
#include "speclink/cli/OutputCheck.h"
#include "speclink/cli/OutputDirectory.h"
#include "speclink/cli/RunFiles.h"
#include "speclink/cli/RunSummary.h"
#include "speclink/cli/ScopedWorkingDirectory.h"
#include "speclink/cli/SpeclinkApp.h"
#include "speclink/formats/ByteInput.h"
#include "speclink/formats/MgfPieces.h"
#include "speclink/formats/RecordFile.h"
#include "speclink/formats/SpectrumFormat.h"
#include "speclink/formats/SpectrumReader.h"
#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/consensus/RepresentativeSpectra.h"
#include "speclink/library/modification/MassDifferenceClustering.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/params/Para.h"
#include "speclink/library/scoring/Similarity.h"
#include "speclink/mpi/MpiComm.h"

namespace speclink::mpi {

namespace fs = std::filesystem;
using cli::EngineRequest;
using cli::InputSpectra;

namespace {

// A plain MGF file is cut into pieces once it is this large.
constexpr uint64_t kSmallestSplitFile = 1 << 20;
// Keys the first rank looks at to size the shares; beyond, every n-th.
constexpr uint64_t kMostSampleKeys = 1 << 22;

using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------------------------------
// Failures

// Runs `step` on every rank. When it fails on any rank, every rank stops: the ranks that
// failed say why (the first rank alone when all failed, as they then do alike), and all
// leave with the highest exit status (ReportedError).
template <typename Step>
void Together(const MpiComm& comm, Step&& step) {
    int code = 0;
    std::string message;
    try {
        step();
    } catch (const cli::ReportedError& error) {
        code = error.code;
    } catch (...) {
        code = cli::ExitStatusOf(std::current_exception(), message);
    }
    const int worst = comm.MaxOf(code);
    if (worst == 0) return;
    const bool all_failed = comm.Sum(code != 0 ? 1 : 0) == static_cast<uint64_t>(comm.size());
    if (!message.empty() && (!all_failed || comm.root())) {
        std::fflush(stdout);
        const std::string where = all_failed ? "" : "rank " + std::to_string(comm.rank()) + ": ";
        comm.ReportError("speclink: error: " + where + message + "\n");
    }
    throw cli::ReportedError(worst);
}

// ---------------------------------------------------------------------------------------
// Bytes

template <typename Value>
void Put(std::string& out, const Value& value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

template <typename Value>
Value Take(std::string_view& bytes) {
    Value value{};
    if (bytes.size() < sizeof value) throw std::runtime_error("message between ranks cut short");
    std::memcpy(&value, bytes.data(), sizeof value);
    bytes.remove_prefix(sizeof value);
    return value;
}

void PutText(std::string& out, std::string_view text) {
    Put(out, static_cast<uint64_t>(text.size()));
    out.append(text);
}

std::string TakeText(std::string_view& bytes) {
    const auto size = Take<uint64_t>(bytes);
    if (bytes.size() < size) throw std::runtime_error("message between ranks cut short");
    std::string text(bytes.substr(0, size));
    bytes.remove_prefix(size);
    return text;
}

// ---------------------------------------------------------------------------------------
// Records of a rank, each with its place in the run's input order

struct Records {
    InputSpectra held;           // spectra and origins
    std::vector<uint64_t> seq;   // place of each in the input order of the whole run

    std::size_t size() const { return held.spectra.size(); }
};

// Appends record k of `from` with its sequence number (and `position`, when given) to `out`.
void PutRecord(std::string& out, const Records& from, std::size_t k, uint64_t position = 0) {
    Put(out, from.seq[k]);
    Put(out, position);
    AppendRecord(out, from.held.spectra[k], from.held.origins[k].input, from.held.origins[k].native_id);
}

// Appends the records of `bytes` to `to`; gives their positions.
std::vector<uint64_t> TakeRecords(std::string_view bytes, Records& to) {
    std::vector<uint64_t> positions;
    StoredRecord record;
    while (!bytes.empty()) {
        to.seq.push_back(Take<uint64_t>(bytes));
        positions.push_back(Take<uint64_t>(bytes));
        TakeRecord(bytes, record);
        to.held.spectra.push_back(std::move(record.spectrum));
        to.held.origins.push_back({record.input, std::move(record.native_id)});
        record = StoredRecord();
    }
    return positions;
}

// ---------------------------------------------------------------------------------------
// Reading

// A part of the inputs that one rank reads: an input as a whole, or a byte range of a plain
// MGF file.
struct Piece {
    uint32_t input = 0;
    bool split = false;
    uint64_t begin = 0;
    uint64_t end = 0;
    int rank = 0;
};

uint64_t SizeOf(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        uint64_t total = 0;
        for (const auto& entry : fs::directory_iterator(path, ec)) {
            if (entry.is_regular_file(ec)) total += entry.file_size(ec);
        }
        return total;
    }
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

bool IsPlainMgf(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    ByteInput probe(path);
    return probe.mapped() && DetectFormat(probe.Peek(1 << 16), path) == SpectrumFormat::kMgf;
}

// The inputs in order, cut into pieces of about equal bytes, a run of them for each rank.
std::vector<Piece> PlanPieces(const std::vector<std::string>& inputs, int ranks) {
    std::vector<uint64_t> sizes;
    for (const std::string& input : inputs) sizes.push_back(SizeOf(input));
    const uint64_t total = std::max<uint64_t>(1, std::accumulate(sizes.begin(), sizes.end(), uint64_t{0}));
    const uint64_t share = std::max<uint64_t>(1, total / static_cast<uint64_t>(ranks));
    std::vector<Piece> pieces;
    std::vector<uint64_t> piece_bytes;
    for (uint32_t i = 0; i < inputs.size(); ++i) {
        const uint64_t size = sizes[i];
        const uint64_t count = std::clamp<uint64_t>((size + share / 2) / share, 1, static_cast<uint64_t>(ranks));
        if (ranks == 1 || size < kSmallestSplitFile || count < 2 || !IsPlainMgf(inputs[i])) {
            pieces.push_back({i, false, 0, 0, 0});
            piece_bytes.push_back(size);
            continue;
        }
        uint64_t begin = 0;
        for (uint64_t k = 1; k <= count; ++k) {
            const uint64_t end = k == count ? size : MgfPieceBoundary(inputs[i], size * k / count);
            if (end > begin) {
                pieces.push_back({i, true, begin, end, 0});
                piece_bytes.push_back(end - begin);
            }
            begin = std::max(begin, end);
        }
    }
    // Each piece goes to the rank whose share holds the middle of its bytes.
    uint64_t before = 0;
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        const uint64_t middle = before + piece_bytes[p] / 2;
        pieces[p].rank = static_cast<int>(std::min<uint64_t>(middle / share, static_cast<uint64_t>(ranks - 1)));
        before += piece_bytes[p];
    }
    return pieces;
}

std::string EncodePieces(const std::vector<Piece>& pieces) {
    std::string out;
    for (const Piece& piece : pieces) {
        Put(out, piece.input);
        Put(out, static_cast<uint8_t>(piece.split));
        Put(out, piece.begin);
        Put(out, piece.end);
        Put(out, piece.rank);
    }
    return out;
}

std::vector<Piece> DecodePieces(std::string_view bytes) {
    std::vector<Piece> pieces;
    while (!bytes.empty()) {
        Piece piece;
        piece.input = Take<uint32_t>(bytes);
        piece.split = Take<uint8_t>(bytes) != 0;
        piece.begin = Take<uint64_t>(bytes);
        piece.end = Take<uint64_t>(bytes);
        piece.rank = Take<int>(bytes);
        pieces.push_back(piece);
    }
    return pieces;
}

// The states at the start of this rank's split pieces, from the states every rank's
// pieces end in, each scanned from the start of its piece alone.
std::vector<MgfState> PieceStarts(const MpiComm& comm, const std::vector<Piece>& pieces,
                                  const std::vector<std::string>& inputs) {
    std::string mine;
    for (const Piece& piece : pieces) {
        if (piece.rank != comm.rank() || !piece.split) continue;
        MgfState state;
        // A piece that does not scan is read all the same, and fails there with its line.
        try {
            state = ScanMgfPiece(inputs[piece.input], piece.begin, piece.end, MgfState());
        } catch (const std::exception&) {
        }
        Put(mine, state.lines);
        Put(mine, state.spectra);
        Put(mine, static_cast<uint64_t>(state.default_charges.size()));
        for (const int charge : state.default_charges) Put(mine, charge);
    }
    std::vector<std::string> all = comm.AllGather(mine);
    std::vector<std::string_view> readers(all.begin(), all.end());
    std::vector<MgfState> starts(pieces.size());
    std::vector<MgfState> running(inputs.size());
    for (std::size_t p = 0; p < pieces.size(); ++p) {
        if (!pieces[p].split) continue;
        starts[p] = running[pieces[p].input];
        std::string_view& bytes = readers[static_cast<std::size_t>(pieces[p].rank)];
        MgfState& state = running[pieces[p].input];
        state.lines += Take<uint64_t>(bytes);
        state.spectra += Take<int>(bytes);
        std::vector<int> charges(Take<uint64_t>(bytes));
        for (int& charge : charges) charge = Take<int>(bytes);
        if (!charges.empty()) state.default_charges = std::move(charges);
    }
    return starts;
}

// What each input gave, as numbers to sum over the ranks.
std::vector<uint64_t> Counts(const std::vector<ReadResult>& results) {
    std::vector<uint64_t> counts;
    for (const ReadResult& r : results) {
        counts.insert(counts.end(), {r.files, r.spectra, r.records, r.assigned_charge_records, r.skipped_not_ms2,
                                     r.skipped_no_charge, r.skipped_negative_charge, r.skipped_no_precursor,
                                     r.skipped_empty, r.skipped_impossible_mass});
    }
    return counts;
}

std::vector<ReadResult> Results(const std::vector<uint64_t>& counts) {
    std::vector<ReadResult> results(counts.size() / 10);
    for (std::size_t i = 0; i < results.size(); ++i) {
        const uint64_t* c = &counts[i * 10];
        results[i] = {c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9]};
    }
    return results;
}

// ---------------------------------------------------------------------------------------
// The job's order and the shares

struct Key {
    int32_t charge;
    double mass;
    uint64_t seq;
};

// The order of the job: clustering sweeps by charge, then mass; the modification search goes
// from the highest; records that compare equal keep the input order.
struct Order {
    bool descending;
    bool operator()(const Key& a, const Key& b) const {
        if (a.charge != b.charge) return descending ? a.charge > b.charge : a.charge < b.charge;
        if (a.mass != b.mass) return descending ? a.mass > b.mass : a.mass < b.mass;
        return a.seq < b.seq;
    }
};

Key KeyOf(const Records& records, std::size_t k) {
    return {records.held.spectra[k].charge, records.held.spectra[k].precursor_mass, records.seq[k]};
}

// The first keys of the shares of ranks 1, 2, ...: the sample cut into runs of about equal
// expected work, each key weighing the pairs its record is expected to take part in: its
// neighbours within `reach` (the precursor tolerance, or the modification window) in the
// sample, times the keys each sample key stands for.
std::vector<Key> Splitters(std::vector<Key> sample, uint64_t stride, int ranks, const Order& order,
                           const std::function<std::pair<double, double>(const Key&)>& window) {
    std::sort(sample.begin(), sample.end(), order);
    std::vector<double> weights(sample.size(), 1.0);
    // Neighbours by a two-pointer walk over each charge's keys in ascending mass.
    std::vector<std::size_t> ascending(sample.size());
    std::iota(ascending.begin(), ascending.end(), 0);
    std::sort(ascending.begin(), ascending.end(), [&](std::size_t a, std::size_t b) {
        return sample[a].charge != sample[b].charge ? sample[a].charge < sample[b].charge
                                                    : sample[a].mass < sample[b].mass;
    });
    for (std::size_t k = 0; k < ascending.size(); ++k) {
        const Key& key = sample[ascending[k]];
        const auto [low, high] = window(key);
        const auto below = std::lower_bound(ascending.begin(), ascending.end(), low, [&](std::size_t a, double mass) {
            return sample[a].charge != key.charge ? sample[a].charge < key.charge : sample[a].mass < mass;
        });
        const auto above = std::upper_bound(ascending.begin(), ascending.end(), high, [&](double mass, std::size_t a) {
            return sample[a].charge != key.charge ? key.charge < sample[a].charge : mass < sample[a].mass;
        });
        weights[ascending[k]] += static_cast<double>(stride) * static_cast<double>(above - below);
    }
    const double total = std::accumulate(weights.begin(), weights.end(), 0.0);
    std::vector<Key> splitters;
    double running = 0.0;
    for (std::size_t k = 0; k < sample.size() && static_cast<int>(splitters.size()) + 1 < ranks; ++k) {
        if (running >= total * static_cast<double>(splitters.size() + 1) / ranks) splitters.push_back(sample[k]);
        running += weights[k];
    }
    return splitters;
}

std::string EncodeKeys(const std::vector<Key>& keys) {
    std::string out;
    for (const Key& key : keys) {
        Put(out, key.charge);
        Put(out, key.mass);
        Put(out, key.seq);
    }
    return out;
}

std::vector<Key> DecodeKeys(std::string_view bytes) {
    std::vector<Key> keys;
    while (!bytes.empty()) {
        Key key{};
        key.charge = Take<int32_t>(bytes);
        key.mass = Take<double>(bytes);
        key.seq = Take<uint64_t>(bytes);
        keys.push_back(key);
    }
    return keys;
}

// Puts the records into the job's order, sorted by key.
void SortRecords(Records& records, const Order& order) {
    std::vector<std::size_t> permutation(records.size());
    std::iota(permutation.begin(), permutation.end(), 0);
    std::sort(permutation.begin(), permutation.end(),
              [&](std::size_t a, std::size_t b) { return order(KeyOf(records, a), KeyOf(records, b)); });
    Records sorted;
    sorted.held.files = std::move(records.held.files);
    for (const std::size_t k : permutation) {
        sorted.held.spectra.push_back(std::move(records.held.spectra[k]));
        sorted.held.origins.push_back(std::move(records.held.origins[k]));
        sorted.seq.push_back(records.seq[k]);
    }
    records = std::move(sorted);
}

// ---------------------------------------------------------------------------------------
// Writing

// The files of the parts of every rank, joined in rank order into `directory`/`name`.
void JoinParts(const fs::path& parts, int ranks, const std::string& name, const fs::path& directory) {
    std::ofstream joined(directory / name, std::ios::binary);
    for (int r = 0; r < ranks; ++r) {
        const fs::path part = parts / ("rank-" + std::to_string(r)) / name;
        std::ifstream in(part, std::ios::binary);
        // Streaming an empty part would mark the joined file failed.
        if (in && in.peek() != std::ifstream::traits_type::eof()) joined << in.rdbuf();
    }
    joined.close();
    if (!joined) throw cli::OutputError("cannot write " + (directory / name).string());
}

// The standard output of `run`, kept in `file` rather than shown.
template <typename Run>
void WithOutputTo(const fs::path& file, Run&& run) {
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int into = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (saved < 0 || into < 0) throw cli::OutputError("cannot write " + file.string());
    dup2(into, STDOUT_FILENO);
    close(into);
    try {
        run();
    } catch (...) {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        throw;
    }
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
}

uint64_t PeakMemoryBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<uint64_t>(usage.ru_maxrss) * 1024;
}

// ---------------------------------------------------------------------------------------
// The run

struct RankFigures {
    double reading = 0.0;
    double exchange = 0.0;
    double engine = 0.0;
    uint64_t read = 0;      // records read
    uint64_t records = 0;   // records worked on
    uint64_t received = 0;  // of a precursor group carried from the rank before, or partners of later ranks
};

void RequireMpiRun(const EngineRequest& request) {
    const std::string why = " needs every record on one process: run speclink without MPI";
    if (request.keep_order) throw cli::UsageError("--keep-order" + why);
    if (request.cluster.dta) throw cli::UsageError("--dta" + why);
    if (request.job == cli::kShiftSearchJob) throw cli::UsageError("--shift-search" + why);
    if (request.memory != 0) {
        throw cli::UsageError("--memory: under MPI each rank holds its share of the records in memory; run on more "
                              "ranks to hold less on each");
    }
}

}  // namespace

void RunEngineMpi(const EngineRequest& request) {
    const MpiComm comm;
    const auto started = Clock::now();
    const bool clustering = request.job == cli::kClusterJob;
    const int ranks = comm.size();
    Settings settings = request.settings;
    std::optional<cli::Interruption> interruption;
    std::optional<cli::OutputDirectory> out;
    Together(comm, [&] {
        try {
            settings.Validate();
        } catch (const std::invalid_argument& error) {
            throw cli::UsageError(std::string("--") + error.what());
        }
        if (request.inputs.empty()) throw cli::UsageError("no input files given");
        RequireMpiRun(request);
        if (settings.cluster_result.empty()) {
            settings.cluster_result = clustering ? cli::kClusterResultDefault : cli::kPairListDefault;
        }
        cli::RequireResultName(settings.cluster_result);
        if (!comm.root()) return;
        interruption.emplace();
        out.emplace(request.out_directory, request.overwrite, cli::PlannedNames(request, settings.cluster_result));
        interruption->RemoveOnSignal(out->staging());
        cli::RequireInputsOutside(request.inputs, out->path());
        cli::RequireSpaceLeft(out->path());
    });
    const fs::path staging = comm.Broadcast(comm.root() ? out->staging().string() : "");
    const fs::path parts = staging / "ranks";
    const fs::path part = parts / ("rank-" + std::to_string(comm.rank()));
    RankFigures figures;

    // Reading: the pieces, the states their MGF pieces start from, the records, the names.
    auto phase_started = Clock::now();
    std::vector<Piece> pieces;
    Together(comm, [&] {
        if (comm.root()) pieces = PlanPieces(request.inputs, ranks);
    });
    pieces = DecodePieces(comm.Broadcast(EncodePieces(pieces)));
    const std::vector<MgfState> starts = PieceStarts(comm, pieces, request.inputs);
    Records records;
    std::vector<ReadResult> results(request.inputs.size());
    for (const std::string& input : request.inputs) records.held.files.push_back({input, {}, fs::is_directory(input)});
    Together(comm, [&] {
        fs::create_directories(part);
        ReadOptions options;
        options.assign_charges = request.assign_charges;
        options.threads = request.threads;
        for (std::size_t p = 0; p < pieces.size(); ++p) {
            const Piece& piece = pieces[p];
            if (piece.rank != comm.rank()) continue;
            const SpectrumSink sink = [&](CSpectrum&& record, std::string_view native_id) {
                records.held.origins.push_back({piece.input, std::string(native_id)});
                records.held.spectra.push_back(std::move(record));
            };
            const std::string& path = request.inputs[piece.input];
            try {
                ReadResult read = piece.split ? ReadMgfPiece(path, piece.begin, piece.end, starts[p], options, sink)
                                              : ReadSpectra(path, options, sink);
                if (piece.split && piece.begin > 0) read.files = 0;
                results[piece.input] += read;
            } catch (const std::system_error& error) {
                throw cli::InputError(error.what());
            }
        }
    });
    figures.read = records.size();
    const uint64_t first_seq = comm.SumBefore(records.size());
    const uint64_t total = comm.Sum(records.size());
    for (std::size_t k = 0; k < records.size(); ++k) records.seq.push_back(first_seq + k);
    const std::vector<ReadResult> read = Results(comm.Sums(Counts(results)));
    for (std::size_t i = 0; i < read.size(); ++i) records.held.files[i].result = read[i];
    figures.reading = cli::SecondsSince(phase_started);

    phase_started = Clock::now();
    // Names, made unique over the whole run in input order by the first rank.
    std::string names;
    for (const CSpectrum& spectrum : records.held.spectra) PutText(names, spectrum.file_name);
    std::size_t renamed = 0;
    std::string renames;
    {
        const std::vector<std::string> all = comm.Gather(names);
        if (comm.root()) {
            cli::UniqueNames unique;
            uint64_t seq = 0;
            for (const std::string& from_rank : all) {
                std::string_view bytes = from_rank;
                while (!bytes.empty()) {
                    std::string name = TakeText(bytes);
                    if (unique.MakeUnique(name)) {
                        Put(renames, seq);
                        PutText(renames, name);
                        ++renamed;
                    }
                    ++seq;
                }
            }
        }
    }
    {
        const std::string all = comm.Broadcast(renames);
        std::string_view bytes = all;
        while (!bytes.empty()) {
            const auto seq = Take<uint64_t>(bytes);
            std::string name = TakeText(bytes);
            if (seq >= first_seq && seq < first_seq + records.size()) {
                records.held.spectra[seq - first_seq].file_name = std::move(name);
            }
        }
    }
    Together(comm, [&] {
        if (comm.root() && total == 0) {
            std::string counts;
            for (const cli::InputFileReport& file : records.held.files) counts += "\n  " + cli::DescribeRead(file);
            throw cli::InputError("no spectra to work on (--charge 2,3 gives charges to spectra that have none):" +
                                  counts);
        }
    });

    // The job's order, in shares of about equal work.
    const Order order{!clustering};
    const double upper = static_cast<double>(settings.upper_mass);
    const double lower = static_cast<double>(settings.lower_mass);
    {
        const uint64_t stride = std::max<uint64_t>(1, total / kMostSampleKeys);
        std::vector<Key> sample;
        for (std::size_t k = 0; k < records.size(); ++k) {
            if (records.seq[k] % stride == 0) sample.push_back(KeyOf(records, k));
        }
        std::vector<Key> splitters;
        const std::vector<std::string> samples = comm.Gather(EncodeKeys(sample));
        if (comm.root()) {
            std::vector<Key> all;
            for (const std::string& keys : samples) {
                const std::vector<Key> part_keys = DecodeKeys(keys);
                all.insert(all.end(), part_keys.begin(), part_keys.end());
            }
            const double tolerance = settings.precursor_ion_tol.value;
            const bool ppm = settings.precursor_ion_tol.unit == TOLERANCE_PPM;
            splitters = Splitters(std::move(all), stride, ranks, order, [&](const Key& key) {
                if (clustering) {
                    const double reach = ppm ? key.mass * tolerance * 1e-6 : tolerance;
                    return std::make_pair(key.mass - reach, key.mass + reach);
                }
                return std::make_pair(key.mass - upper, key.mass - lower);
            });
        }
        splitters = DecodeKeys(comm.Broadcast(EncodeKeys(splitters)));
        std::vector<std::string> to_each(static_cast<std::size_t>(ranks));
        for (std::size_t k = 0; k < records.size(); ++k) {
            const auto rank = std::upper_bound(splitters.begin(), splitters.end(), KeyOf(records, k), order) -
                              splitters.begin();
            PutRecord(to_each[static_cast<std::size_t>(rank)], records, k);
        }
        Records exchanged;
        exchanged.held.files = std::move(records.held.files);
        records = Records();
        for (const std::string& bytes : comm.AllToAll(std::move(to_each))) TakeRecords(bytes, exchanged);
        SortRecords(exchanged, order);
        records = std::move(exchanged);
    }

    CPara para;
    Settings staged = settings;
    staged.out_directory = part.string();
    staged.cluster_result = (part / settings.cluster_result).string();
    staged.Configure(para);
    para.engine->threads = request.threads;
    para.representative_spectra->threads = request.threads;

    cli::RunSummary summary;
    std::vector<ListedPair> pairs;
    std::vector<uint64_t> score_counts;
    if (clustering) {
        // A share's last precursor group may go on in the next share: it moves there, rank by
        // rank, so that every share starts where the sweep starts a group.
        if (comm.rank() > 0) {
            Records carried;
            carried.held.files = records.held.files;
            TakeRecords(comm.Receive(comm.rank() - 1), carried);
            figures.received = carried.size();
            for (std::size_t k = 0; k < records.size(); ++k) {
                carried.held.spectra.push_back(std::move(records.held.spectra[k]));
                carried.held.origins.push_back(std::move(records.held.origins[k]));
                carried.seq.push_back(records.seq[k]);
            }
            records = std::move(carried);
        }
        if (comm.rank() + 1 < ranks) {
            const std::vector<PrecursorGroup> groups = SweepPrecursorGroups(
                records.held.spectra, settings.precursor_ion_tol.value, settings.precursor_ion_tol.unit);
            const std::size_t last = groups.empty() ? records.size() : groups.back().start;
            std::string moving;
            for (std::size_t k = last; k < records.size(); ++k) PutRecord(moving, records, k);
            comm.Send(comm.rank() + 1, moving);
            records.held.spectra.resize(last);
            records.held.origins.resize(last);
            records.seq.resize(last);
        }
        figures.exchange = cli::SecondsSince(phase_started);

        phase_started = Clock::now();
        figures.records = records.size();
        const uint64_t first_position = comm.SumBefore(records.size());
        auto& engine = dynamic_cast<CHierarchicalCluster&>(*para.engine);
        std::vector<double> thresholds = {engine.threshold};
        thresholds.insert(thresholds.end(), request.cluster.sweep.begin(), request.cluster.sweep.end());
        std::vector<Clustering> clusterings;
        Together(comm, [&] {
            cli::RequireGroupsWithin(records.held.spectra, settings, request.max_group_size, first_position);
            clusterings = engine.ClusterSpectraAt(records.held.spectra, para.similarity, para.peak_select, thresholds);
        });
        std::vector<uint64_t> clusters;
        for (const Clustering& clustering_at : clusterings) clusters.push_back(WalkClusters(clustering_at.links).size());
        const std::vector<uint64_t> clusters_before = comm.SumsBefore(clusters);
        Together(comm, [&] {
            cli::ClusterFilesStart start;
            start.clusters.assign(clusters_before.begin(), clusters_before.end());
            start.records = first_position;
            start.header = comm.root();
            cli::ClusterOutputFiles files(part, settings.cluster_result, request.cluster.sweep,
                                          {request.cluster.mgf_singles, request.cluster.representatives},
                                          request.threads, start);
            files.Append(records.held, clusterings);
            files.Close();
            summary.AddClusters(records.held.spectra, clusterings.front(), std::nullopt);
        });
        const std::vector<uint64_t> counts =
            comm.Sums({summary.clusters, summary.multi_clusters, summary.clustered_spectra});
        const int largest = comm.MaxOf(static_cast<int>(summary.largest_cluster));
        summary.clusters = counts[0];
        summary.multi_clusters = counts[1];
        summary.clustered_spectra = counts[2];
        summary.largest_cluster = static_cast<std::size_t>(largest);
    } else {
        // Each rank's rows pair with later spectra within the mass window: every rank sends
        // the ranks before it those of its spectra that those ranks' rows can pair with.
        const uint64_t first_position = comm.SumBefore(records.size());
        std::string ranges;
        for (std::size_t k = 0; k < records.size();) {
            const int32_t charge = records.held.spectra[k].charge;
            const double heaviest = records.held.spectra[k].precursor_mass;
            std::size_t end = k;
            while (end < records.size() && records.held.spectra[end].charge == charge) ++end;
            Put(ranges, charge);
            Put(ranges, records.held.spectra[end - 1].precursor_mass);
            Put(ranges, heaviest);
            k = end;
        }
        const std::vector<std::string> all_ranges = comm.AllGather(ranges);
        const Similar_Method method = para.similarity->similar_method;
        const bool three_with_two = method == SIMILAR_DOT_PRODUCT_X || method == SIMILAR_COMPREHENSIVE;
        // A margin keeps rounding from losing a partner; the search tests every pair itself.
        const double reach = upper + 1.0;
        std::vector<std::string> to_each(static_cast<std::size_t>(ranks));
        for (int k = 0; k < comm.rank(); ++k) {
            std::string_view bytes = all_ranges[static_cast<std::size_t>(k)];
            std::vector<std::tuple<int32_t, double, double>> rows;
            while (!bytes.empty()) {
                const auto charge = Take<int32_t>(bytes);
                const auto lightest = Take<double>(bytes);
                const auto heaviest = Take<double>(bytes);
                rows.emplace_back(charge, lightest, heaviest);
            }
            for (std::size_t j = 0; j < records.size(); ++j) {
                const CSpectrum& spectrum = records.held.spectra[j];
                const bool needed = std::any_of(rows.begin(), rows.end(), [&](const auto& row) {
                    const auto [charge, lightest, heaviest] = row;
                    if (charge == spectrum.charge) return spectrum.precursor_mass >= lightest - reach;
                    return three_with_two && charge == 3 && spectrum.charge == 2 &&
                           spectrum.precursor_mass >= lightest - reach && spectrum.precursor_mass <= heaviest + reach;
                });
                if (needed) PutRecord(to_each[static_cast<std::size_t>(k)], records, j, first_position + j);
            }
        }
        const std::size_t rows = records.size();
        figures.records = rows;
        std::vector<uint32_t> positions;
        for (std::size_t k = 0; k < rows; ++k) positions.push_back(static_cast<uint32_t>(first_position + k));
        for (const std::string& bytes : comm.AllToAll(std::move(to_each))) {
            for (const uint64_t position : TakeRecords(bytes, records)) positions.push_back(static_cast<uint32_t>(position));
        }
        figures.received = records.size() - rows;
        figures.exchange = cli::SecondsSince(phase_started);

        phase_started = Clock::now();
        auto& engine = dynamic_cast<CModificationCluster&>(*para.engine);
        engine.list_scores = cli::ListsScores(request);
        Together(comm, [&] {
            const cli::ScopedWorkingDirectory in_part(part);
            WithOutputTo(part / "stdout", [&] {
                if (!engine.BeginPieces(total, para.similarity, first_position)) return;
                engine.SearchPiece(records.held.spectra, rows, positions, para.similarity, para.peak_select);
                engine.EndPieces(para.similarity);
            });
        });
        score_counts = engine.score_counts();
        const int longest = comm.MaxOf(static_cast<int>(score_counts.size()));
        score_counts.resize(static_cast<std::size_t>(longest), 0);
        score_counts = comm.Sums(score_counts);
        std::string listed;
        for (const ListedPair& pair : engine.last_pairs()) Put(listed, pair);
        for (const std::string& from_rank : comm.Gather(listed)) {
            std::string_view bytes = from_rank;
            while (!bytes.empty()) pairs.push_back(Take<ListedPair>(bytes));
        }
    }
    figures.engine = cli::SecondsSince(phase_started);

    std::string mine;
    Put(mine, figures);
    Put(mine, PeakMemoryBytes());
    const std::vector<std::string> all_figures = comm.Gather(mine);

    // The first rank joins the parts, writes what needs the whole and moves the files in.
    Together(comm, [&] {
        if (!comm.root()) return;
        std::vector<std::string> joined = {settings.cluster_result};
        if (clustering) {
            joined.insert(joined.end(), {cli::kClusterTable, cli::kConsensusMgf});
            if (request.cluster.representatives) joined.push_back(cli::kRepresentativesMgf);
        } else if (cli::ListsScores(request)) {
            joined.push_back(cli::kScoreFile);
        }
        for (const std::string& name : joined) JoinParts(parts, ranks, name, staging);
        if (!clustering) {
            // The engine's standard output, as one process prints it.
            for (int r = 0; r < ranks; ++r) {
                std::ifstream text(parts / ("rank-" + std::to_string(r)) / "stdout", std::ios::binary);
                std::ostringstream copy;
                copy << text.rdbuf();
                std::fputs(copy.str().c_str(), stdout);
            }
            std::fflush(stdout);
            {
                const cli::ScopedWorkingDirectory in_staging(staging);
                ClusterMassDifferences((staging / settings.cluster_result).string(),
                                       dynamic_cast<const CModificationCluster&>(*para.engine).cluster_masses_tol);
            }
            cli::RequireWholeFile(staging / cli::kMassDifferences);
            cli::WriteScoreHistogram(staging / cli::kScoreHistogram, score_counts);
        }
        cli::RequireWholeFile(staging / settings.cluster_result);
        std::error_code ec;
        fs::remove_all(parts, ec);
        cli::RequireSpaceLeft(out->path());
        if (!clustering) {
            summary.AddPairs(pairs.size(), staging / cli::kMassDifferences);
            summary.offsets = cli::WriteOffsetProfile(request, settings, pairs, total, staging);
            summary.unimod = cli::UnimodFile(request);
        }
        Settings recorded = settings;
        if (clustering) recorded.data_directory = fs::absolute(request.inputs.front()).string();
        recorded.out_directory = out->path().string();
        cli::WriteParametersUsed(recorded, staging / cli::kParametersUsed, request);
        summary.files_written = out->Commit();
        summary.command = request.command;
        summary.files = records.held.files;
        summary.spectra = total;
        summary.out_directory = out->path();
        summary.renamed = renamed;
        cli::ListOutputs(request, settings, summary);
        summary.seconds = cli::SecondsSince(started);
        // The slowest rank's times.
        for (const std::string& from_rank : all_figures) {
            std::string_view bytes = from_rank;
            const auto rank = Take<RankFigures>(bytes);
            summary.reading_seconds = std::max(summary.reading_seconds, rank.reading);
            summary.engine_seconds = std::max(summary.engine_seconds, rank.engine);
        }
        if (!clustering && total >= 10) std::printf("\n");
        summary.Print();
        std::printf("  ranks: %d; records read, worked on, %s, then reading, exchange and engine time, peak memory:\n",
                    ranks, clustering ? "carried in with a group from the rank before" : "received as partners");
        for (int r = 0; r < ranks; ++r) {
            std::string_view bytes = all_figures[static_cast<std::size_t>(r)];
            const auto rank = Take<RankFigures>(bytes);
            const auto memory = Take<uint64_t>(bytes);
            std::printf("    rank %d: %llu, %llu, %llu records; %.2f s, %.2f s, %.2f s; %.1f MiB\n", r,
                        static_cast<unsigned long long>(rank.read), static_cast<unsigned long long>(rank.records),
                        static_cast<unsigned long long>(rank.received), rank.reading, rank.exchange, rank.engine,
                        static_cast<double>(memory) / (1024.0 * 1024.0));
        }
    });
}

}  // namespace speclink::mpi
