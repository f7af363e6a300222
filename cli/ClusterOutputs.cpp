#include "speclink/cli/ClusterOutputs.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <future>
#include <optional>
#include <stdexcept>
#include <unordered_set>

#include "speclink/cli/CommandErrors.h"
#include "speclink/formats/MgfWriter.h"
#include "speclink/formats/OutputFile.h"
#include "speclink/formats/ProtonMass.h"
#include "speclink/library/common/FormattedText.h"
#include "speclink/library/common/InOrderWorkers.h"
#include "speclink/library/common/StdioFile.h"
#include "speclink/library/consensus/ClusterResultWriter.h"
#include "speclink/library/consensus/ConsensusSpectrum.h"
#include "speclink/library/consensus/SpectrumText.h"

namespace speclink::cli {

namespace fs = std::filesystem;

namespace {

// Entries per block of work of the MGF writers, clusters per block of the table's.
constexpr std::size_t kEntriesPerBlock = 64;
constexpr std::size_t kClustersPerBlock = 1024;

// Text for one TSV field: tabs and line breaks become blanks.
void AppendField(std::string& line, const std::string& text) {
    const std::size_t start = line.size();
    line += text;
    for (std::size_t k = start; k < line.size(); ++k) {
        if (line[k] == '\t' || line[k] == '\n' || line[k] == '\r') line[k] = ' ';
    }
}

// Cluster number (1-based, in the order of the cluster result file, after `before` clusters
// of earlier parts) of every record.
std::vector<uint32_t> ClusterNumbers(const ClusterWalks& walks, std::size_t records, std::size_t before) {
    std::vector<uint32_t> numbers(records, 0);
    for (std::size_t cluster = 0; cluster < walks.size(); ++cluster) {
        for (const int32_t member : walks[cluster]) numbers[member] = static_cast<uint32_t>(before + cluster + 1);
    }
    return numbers;
}

template <typename Number>
void AppendNumber(std::string& text, Number number) {
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

double MedianRetentionTime(const std::vector<CSpectrum>& spectra, std::span<const int32_t> members) {
    std::vector<double> times;
    times.reserve(members.size());
    for (const int32_t member : members) times.push_back(spectra[member].retention_time);
    std::sort(times.begin(), times.end());
    const std::size_t middle = times.size() / 2;
    return times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2.0;
}

// A file that could not be written whole, with the reason errno holds.
[[noreturn]] void FailWriting(const fs::path& path) {
    throw OutputError("cannot write " + path.string() + ": " + std::strerror(errno) +
                      (errno == ENOSPC ? " (the device is full)" : ""));
}

// Flushes `text` into `out` once it is large, and at the end.
class BlockWriter {
public:
    explicit BlockWriter(const fs::path& path) : path_(path), out_(path, std::ios::binary) {
        if (!out_) throw OutputError("cannot create " + path.string());
    }
    void Write(const std::string& text) {
        out_.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out_) Fail();
    }
    void Close() {
        out_.close();
        if (!out_) Fail();
    }

private:
    [[noreturn]] void Fail() const { FailWriting(path_); }

    fs::path path_;
    std::ofstream out_;
};

// A spectrum as read, as an MGF entry that names its cluster.
std::string MemberEntry(const CSpectrum& spectrum, std::size_t cluster, std::size_t size) {
    std::string entry = MgfEntry(spectrum);
    const std::string fields = "CLUSTER_ID=" + std::to_string(cluster) + "\nCLUSTER_SIZE=" + std::to_string(size) + "\n";
    return entry.insert(std::string_view("BEGIN IONS\n").size(), fields);
}

}  // namespace

struct ClusterOutputFiles::Files {
    Files(const fs::path& directory, const std::string& result_name, bool representatives, int32_t first_line,
          int32_t first_cluster)
        : table(directory / "clusters.tsv"), consensus(directory / "consensus.mgf") {
        if (representatives) representative_entries.emplace(directory / "representatives.mgf");
        if (!result_name.empty()) {
            result_path = directory / result_name;
            result_file = OpenStdioFile(result_path.string(), "w");
            if (!result_file) throw OutputError("cannot create " + result_path.string());
            result.emplace(result_file.get(), first_line, first_cluster);
        }
    }

    BlockWriter table;
    BlockWriter consensus;
    std::optional<BlockWriter> representative_entries;
    fs::path result_path;
    StdioFile result_file;
    std::optional<ClusterResultWriter> result;
    int result_error = 0;  // errno of the first failed write, taken on the thread that wrote
};

ClusterOutputFiles::ClusterOutputFiles(const fs::path& directory, const std::string& result_name,
                                       std::vector<double> sweep, ClusterFileChoices choices, int threads,
                                       const ClusterFilesStart& start)
    : files_(std::make_unique<Files>(directory, result_name, choices.representatives,
                                     static_cast<int32_t>(start.records + 1),
                                     static_cast<int32_t>((start.clusters.empty() ? 0 : start.clusters.front()) + 1))),
      sweep_(std::move(sweep)),
      choices_(choices),
      threads_(threads),
      clusters_before_(sweep_.size() + 1, 0) {
    for (std::size_t t = 0; t < start.clusters.size() && t < clusters_before_.size(); ++t) {
        clusters_before_[t] = start.clusters[t];
    }
    if (!start.header) return;
    std::string header =
        "cluster\tcluster_size\trepresentative\tsource_file\tnative_id\tscan\ttitle\tcharge\tprecursor_mz\t"
        "retention_time\tfile_name";
    for (const double threshold : sweep_) {
        char value[32];
        const auto end = std::to_chars(value, value + sizeof value, threshold);
        header += "\tcluster_at_" + std::string(value, end.ptr);
    }
    header += '\n';
    files_->table.Write(header);
}

ClusterOutputFiles::~ClusterOutputFiles() = default;

void ClusterOutputFiles::Append(const InputSpectra& part, const std::vector<Clustering>& clusterings) {
    const std::vector<CSpectrum>& spectra = part.spectra;
    const Clustering& clustering = clusterings.front();
    // The cluster result file is written beside the others, which share the other threads.
    std::future<void> result_written;
    if (files_->result) {
        result_written = std::async(threads_ > 1 ? std::launch::async : std::launch::deferred,
                                    [&] {
                                        files_->result->Write(spectra, clustering.links);
                                        if (std::ferror(files_->result_file.get()) != 0 && files_->result_error == 0) {
                                            files_->result_error = errno;
                                        }
                                    });
    }
    const ClusterWalks walks = WalkClusters(clustering.links);
    std::vector<bool> representative(spectra.size(), false);
    for (const int32_t k : clustering.representatives) representative[k] = true;
    std::vector<std::vector<uint32_t>> swept;
    for (std::size_t t = 1; t < clusterings.size(); ++t) {
        swept.push_back(ClusterNumbers(WalkClusters(clusterings[t].links), spectra.size(), clusters_before_[t]));
    }
    const std::size_t before = clusters_before_.front();

    const FixedPointWriter fixed;
    RunInOrder<std::string>(
        walks.size(), kClustersPerBlock, threads_, [] { return 0; },
        [&](int, std::size_t first, std::size_t end, std::string& text) {
            text.clear();
            for (std::size_t cluster = first; cluster < end; ++cluster) {
                const std::span<const int32_t> members = walks[cluster];
                for (const int32_t k : members) {
                    const CSpectrum& spectrum = spectra[k];
                    const RecordOrigin& origin = part.origins[k];
                    AppendNumber(text, before + cluster + 1);
                    text += '\t';
                    AppendNumber(text, members.size());
                    text += (representative[k] || members.size() == 1) ? "\t1\t" : "\t0\t";
                    AppendField(text, part.files[origin.input].path);
                    text += '\t';
                    AppendField(text, origin.native_id);
                    text += '\t';
                    AppendNumber(text, spectrum.scan);
                    text += '\t';
                    AppendField(text, spectrum.title);
                    text += '\t';
                    AppendNumber(text, spectrum.charge);
                    text += '\t';
                    fixed.Append(text, spectrum.precursor_mz, 6);
                    text += '\t';
                    fixed.Append(text, spectrum.retention_time, 4);
                    text += '\t';
                    AppendField(text, spectrum.file_name);
                    for (const std::vector<uint32_t>& numbers : swept) {
                        text += '\t';
                        AppendNumber(text, numbers[k]);
                    }
                    text += '\n';
                }
            }
        },
        [&](const std::string& text) { files_->table.Write(text); });

    std::vector<std::size_t> written;  // the clusters to write to consensus.mgf, in order
    for (std::size_t cluster = 0; cluster < walks.size(); ++cluster) {
        const bool several = walks[cluster].size() >= 2;
        if (several) ++consensus_spectra_;
        if (several || choices_.singles) written.push_back(cluster);
    }
    RunInOrder<std::string>(
        written.size(), kEntriesPerBlock, threads_, [] { return 0; },
        [&](int, std::size_t first, std::size_t end, std::string& text) {
            text.clear();
            for (std::size_t item = first; item < end; ++item) {
                const std::size_t cluster = written[item];
                const std::span<const int32_t> members = walks[cluster];
                if (members.size() == 1) {
                    text += MemberEntry(spectra[members.front()], before + cluster + 1, 1);
                    continue;
                }
                const ConsensusSpectrum spectrum = MakeConsensusSpectrum(spectra, members);
                const std::string number = std::to_string(before + cluster + 1);
                text += "BEGIN IONS\nTITLE=cluster " + number + ", consensus of " + std::to_string(members.size()) +
                        " spectra\nCLUSTER_ID=" + number + "\nCLUSTER_SIZE=" + std::to_string(members.size()) +
                        "\nPEPMASS=" + Lossless(MzFromMass(spectrum.precursor_mass, spectrum.charge)) +
                        "\nPRECURSOR_MH=";
                fixed.Append(text, spectrum.precursor_mass, 6);
                text += "\nCHARGE=" + std::to_string(spectrum.charge) + "+\nRTINSECONDS=" +
                        Lossless(MedianRetentionTime(spectra, members)) + "\n";
                AppendPeakLines(text, fixed, spectrum.peaks);
                text += "END IONS\n\n";
            }
        },
        [&](const std::string& text) { files_->consensus.Write(text); });

    if (files_->representative_entries) {
        for (std::size_t cluster = 0; cluster < walks.size(); ++cluster) {
            const std::span<const int32_t> members = walks[cluster];
            for (const int32_t k : members) {
                if (representative[k] || members.size() == 1) {
                    files_->representative_entries->Write(
                        MemberEntry(spectra[k], before + cluster + 1, members.size()));
                    break;
                }
            }
        }
    }
    if (result_written.valid()) result_written.get();
    clusters_before_.front() += walks.size();
    for (std::size_t t = 1; t < clusterings.size(); ++t) clusters_before_[t] += WalkClusters(clusterings[t].links).size();
}

void ClusterOutputFiles::Close() {
    files_->table.Close();
    files_->consensus.Close();
    if (files_->representative_entries) files_->representative_entries->Close();
    if (files_->result) {
        const bool failed = std::fflush(files_->result_file.get()) != 0 || std::ferror(files_->result_file.get()) != 0;
        const int error = files_->result_error != 0 ? files_->result_error : errno;
        files_->result_file.reset();
        errno = error;
        if (failed) FailWriting(files_->result_path);
    }
}

void RequireDistinctDtaNames(const std::vector<CSpectrum>& spectra, const Clustering& clustering,
                             Representative_Spectra consensus_type) {
    const bool consensus = consensus_type == CONSENSUS_SPECTRA || consensus_type == CONSENSUS_SPECTRA_AND_REPRESENTATIVES;
    std::unordered_set<std::string> names;
    // Single spectra and copies carry their records' names, which are unique already; the
    // consensus spectra are named after scan labels, which need not be.
    for (const CSpectrum& spectrum : spectra) names.insert(spectrum.file_name);
    if (!consensus) return;
    const ClusterWalks walks = WalkClusters(clustering.links);
    for (std::size_t cluster = 0; cluster < walks.size(); ++cluster) {
        if (walks[cluster].size() < 2) continue;
        const std::string name = ConsensusFileName(spectra, walks[cluster]);
        if (!names.insert(name).second) {
            throw UsageError("with --dta, the consensus spectrum of cluster " + std::to_string(cluster + 1) +
                             " would be written as " + name + ", a name another file of the run already has (its "
                             "name comes from the scan labels of the first, middle and last member); nothing was "
                             "written. Leave out --dta: consensus.mgf holds every consensus spectrum under its "
                             "cluster number.");
        }
    }
}

std::vector<double> ParseThresholds(const std::string& text) {
    const auto number = [&](std::string_view part) {
        double value = 0.0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (error != std::errc() || end != part.data() + part.size() || !(value >= 0.0 && value <= 1.0)) {
            throw std::invalid_argument("'" + std::string(part) + "' is not a threshold from 0 to 1");
        }
        return value;
    };
    std::vector<std::string_view> parts;
    const char separator = text.find(':') != std::string::npos ? ':' : ',';
    for (std::size_t start = 0;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(std::string_view(text).substr(start, at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    std::vector<double> thresholds;
    if (separator == ',') {
        for (const std::string_view part : parts) thresholds.push_back(number(part));
        return thresholds;
    }
    if (parts.size() != 3) throw std::invalid_argument("'" + text + "': expected from:to:step, e.g. 0.3:0.9:0.05");
    const double from = number(parts[0]);
    const double to = number(parts[1]);
    const double step = number(parts[2]);
    if (!(step > 0.0) || to < from) throw std::invalid_argument("'" + text + "': expected from <= to and a step above 0");
    // Counted in steps, so that the last value is reached despite rounding (0.3 + 12 * 0.05).
    const auto steps = static_cast<std::size_t>(std::floor((to - from) / step + 1e-9));
    for (std::size_t k = 0; k <= steps; ++k) {
        // Rounded to the step's decimals for a plain column name.
        thresholds.push_back(std::round((from + static_cast<double>(k) * step) * 1e6) / 1e6);
    }
    return thresholds;
}

}  // namespace speclink::cli
