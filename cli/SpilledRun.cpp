#include "speclink/cli/SpilledRun.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

#include "speclink/cli/ClusterOutputs.h"
#include "speclink/cli/GroupLimit.h"
#include "speclink/cli/ProgressBar.h"
#include "speclink/library/cluster/HierarchicalCluster.h"
#include "speclink/library/cluster/PrecursorSweep.h"
#include "speclink/library/modification/ModificationCluster.h"
#include "speclink/library/scoring/Similarity.h"

namespace speclink::cli {

namespace {

// Moves the first `count` records of `from` (and their origins) to the end of `to`.
void MoveFront(InputSpectra& from, std::size_t count, InputSpectra& to) {
    const auto records = static_cast<std::ptrdiff_t>(count);
    to.spectra.insert(to.spectra.end(), std::make_move_iterator(from.spectra.begin()),
                      std::make_move_iterator(from.spectra.begin() + records));
    to.origins.insert(to.origins.end(), std::make_move_iterator(from.origins.begin()),
                      std::make_move_iterator(from.origins.begin() + records));
    from.spectra.erase(from.spectra.begin(), from.spectra.begin() + records);
    from.origins.erase(from.origins.begin(), from.origins.begin() + records);
}

// The modification search takes a spilled bucket's rows in this many pieces.
constexpr std::size_t kPiecesPerBucket = 4;

// Whether the search's method pairs triply charged spectra with doubly charged ones.
bool PairsThreeWithTwo(Similar_Method method) {
    return method == SIMILAR_DOT_PRODUCT_X || method == SIMILAR_COMPREHENSIVE;
}

}  // namespace

std::size_t ClusterSpilled(const EngineRequest& request, const Settings& settings, const InputSpectra& input,
                           CPara& para, const std::filesystem::path& staging, const std::string& result,
                           RunSummary& summary) {
    auto& engine = dynamic_cast<CHierarchicalCluster&>(*para.engine);
    std::vector<double> thresholds = {engine.threshold};
    thresholds.insert(thresholds.end(), request.cluster.sweep.begin(), request.cluster.sweep.end());
    ClusterOutputFiles files(staging, result, request.cluster.sweep,
                             {request.cluster.mgf_singles, request.cluster.representatives}, request.threads);
    const std::vector<const SpilledRecords::Bucket*> buckets = input.spilled->Ordered(false);
    const std::size_t total = input.spilled->records();
    // Records at hand: the carried group, then the bucket just taken back.
    InputSpectra pending;
    std::size_t position = 0;  // of pending's first record in the whole sweep
    std::size_t crossings = 0;
    ProgressBar bar("clustering");
    for (std::size_t b = 0; b < buckets.size(); ++b) {
        const std::size_t carried = pending.spectra.size();
        InputSpectra loaded;
        SpilledRecords::Load(*buckets[b], loaded);
        OrderForClustering(loaded);
        MoveFront(loaded, loaded.spectra.size(), pending);
        const std::vector<PrecursorGroup> groups = SweepPrecursorGroups(
            pending.spectra, settings.precursor_ion_tol.value, settings.precursor_ion_tol.unit);
        if (carried > 0 && groups.front().size > carried) ++crossings;
        // The last group may go on in the next bucket.
        const std::size_t cut = b + 1 == buckets.size() ? pending.spectra.size() : groups.back().start;
        if (cut == 0) continue;
        InputSpectra part;
        part.files = input.files;
        MoveFront(pending, cut, part);
        RequireGroupsWithin(part.spectra, settings, request.max_group_size, position);
        const std::vector<Clustering> clusterings = engine.ClusterSpectraAt(
            part.spectra, para.similarity, para.peak_select, thresholds,
            [&](std::size_t passed) { bar.Update(position + passed, total); });
        files.Append(part, clusterings);
        summary.AddClusters(part.spectra, clusterings.front(), std::nullopt);
        position += cut;
    }
    bar.Finish();
    files.Close();
    return crossings;
}

std::size_t SearchSpilled(const InputSpectra& input, CPara& para) {
    auto& engine = dynamic_cast<CModificationCluster&>(*para.engine);
    const std::vector<const SpilledRecords::Bucket*> buckets = input.spilled->Ordered(true);
    std::vector<std::size_t> first_position(buckets.size() + 1, 0);
    for (std::size_t b = 0; b < buckets.size(); ++b) first_position[b + 1] = first_position[b] + buckets[b]->records;
    if (!engine.BeginPieces(input.spilled->records(), para.similarity)) return 0;
    const bool three_with_two = PairsThreeWithTwo(para.similarity->similar_method);
    // Partners lie within upper_mass of a row; a margin keeps rounding from losing one (the
    // search tests every pair itself).
    const double reach = engine.upper_mass + 1.0;

    // Buckets taken back and still needed, each ordered as the search orders its records.
    std::map<std::size_t, InputSpectra> loaded;
    const auto take = [&](std::size_t b) -> InputSpectra& {
        auto at = loaded.find(b);
        if (at == loaded.end()) {
            at = loaded.emplace(b, InputSpectra()).first;
            SpilledRecords::Load(*buckets[b], at->second);
            OrderForModificationSearch(at->second);
        }
        return at->second;
    };
    std::size_t crossings = 0;
    for (std::size_t b = 0; b < buckets.size(); ++b) {
        // The bucket's records become the rows of its pieces; it is not needed after them.
        const std::vector<CSpectrum> bucket = std::move(take(b).spectra);
        loaded.erase(b);
        const int32_t charge = buckets[b]->charge;
        std::vector<std::size_t> used;
        bool crossed = false;
        // A piece's prepared peaks and their index take several times its records, so a
        // bucket is searched a share of its rows at a time, each with the partners it needs.
        const std::size_t rows_per_piece = std::max<std::size_t>(1, bucket.size() / kPiecesPerBucket);
        for (std::size_t first_row = 0; first_row < bucket.size(); first_row += rows_per_piece) {
            const std::size_t end_row = std::min(bucket.size(), first_row + rows_per_piece);
            const double lightest = bucket[end_row - 1].precursor_mass;
            const double heaviest = bucket[first_row].precursor_mass;
            std::vector<CSpectrum> window;
            std::vector<uint32_t> positions;
            const auto add = [&](const std::vector<CSpectrum>& records, std::size_t p, std::size_t k) {
                window.push_back(records[k]);
                positions.push_back(static_cast<uint32_t>(first_position[p] + k));
            };
            for (std::size_t k = first_row; k < end_row; ++k) add(bucket, b, k);
            // The rest of the bucket is lighter: partners down to the mass window's reach.
            for (std::size_t k = end_row; k < bucket.size(); ++k) {
                if (bucket[k].precursor_mass >= lightest - reach) add(bucket, b, k);
            }
            // The records of bucket p with masses from low to high, in the search's order.
            const auto add_partners = [&](std::size_t p, double low, double high) {
                const InputSpectra& partners = take(p);
                used.push_back(p);
                for (std::size_t k = 0; k < partners.spectra.size(); ++k) {
                    const double mass = partners.spectra[k].precursor_mass;
                    if (mass >= low && mass <= high) {
                        add(partners.spectra, p, k);
                        crossed = true;
                    }
                }
            };
            // Later buckets of the same charge hold lighter records.
            for (std::size_t p = b + 1;
                 p < buckets.size() && buckets[p]->charge == charge && buckets[p]->high > lightest - reach; ++p) {
                add_partners(p, lightest - reach, heaviest);
            }
            if (three_with_two && charge == 3) {
                for (std::size_t p = b + 1; p < buckets.size(); ++p) {
                    if (buckets[p]->charge == 2 && buckets[p]->high > lightest - reach &&
                        buckets[p]->low < heaviest + reach) {
                        add_partners(p, lightest - reach, heaviest + reach);
                    }
                }
            }
            engine.SearchPiece(window, end_row - first_row, positions, para.similarity, para.peak_select);
        }
        if (crossed) ++crossings;
        // Buckets not needed by this bucket's pieces are not needed by any later one: the
        // windows move down in mass.
        for (auto at = loaded.begin(); at != loaded.end();) {
            const bool keep = at->first > b && std::find(used.begin(), used.end(), at->first) != used.end();
            at = keep ? std::next(at) : loaded.erase(at);
        }
    }
    engine.EndPieces(para.similarity);
    return crossings;
}

}  // namespace speclink::cli
