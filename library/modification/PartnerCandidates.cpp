#include "speclink/library/modification/PartnerCandidates.h"

#include <algorithm>

namespace speclink {

void PartnerCandidates::Gather(const FragmentIndex& index, double tolerance, std::size_t i,
                               std::span<const std::size_t> partners) {
    held_.assign(partners.size(), 0);
    if (!index.Holds(i)) return;
    const double mass = index.mass(i);
    const int32_t charge = index.charge(i);
    found_.resize(partners.size());
    if (partner_at_.size() < index.size()) partner_at_.resize(index.size(), kNone);
    // The partners of spectrum i's charge lie from the first to the last place among them:
    // by mass, on one side of spectrum i or both, with little else between. Partners of
    // another charge are scored without found pairs.
    uint32_t first = UINT32_MAX;
    uint32_t end = 0;
    for (std::size_t c = 0; c < partners.size(); ++c) {
        const std::size_t j = partners[c];
        if (!index.Holds(j) || index.charge(j) != charge) continue;
        held_[c] = 1;
        const uint32_t p = index.PositionOf(j);
        partner_at_[p] = static_cast<uint32_t>(c);
        first = std::min(first, p);
        end = std::max(end, p + 1);
        found_[c].shift = mass - index.mass(j);
        found_[c].tolerance = tolerance;
    }

    // The shifted line serves only the partners lighter than spectrum i, those before it.
    const uint32_t lighter_end = std::min(end, index.PositionOf(i));
    gathered_.clear();
    const double reach = tolerance + FragmentIndex::kKeyError;
    const PeakList& peaks = index.Peaks(i);
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        const auto gather = [&](uint32_t p, uint16_t l, const Peak& peak) {
            const uint32_t partner = partner_at_[p];
            if (partner != kNone) gathered_.push_back({partner, {static_cast<uint32_t>(k), l, peak}});
        };
        index.ForEachNear(FragmentIndex::Key::kMz, peaks[k].mz, reach, first, end, gather);
        index.ForEachNear(FragmentIndex::Key::kMzLessMass, peaks[k].mz - mass, reach, first, lighter_end, gather);
    }

    // By partner, each partner's pairs in the order found: by the row's peak, ascending.
    starts_.assign(partners.size() + 1, 0);
    for (const Found& found : gathered_) ++starts_[found.partner + 1];
    for (std::size_t c = 0; c < partners.size(); ++c) starts_[c + 1] += starts_[c];
    pairs_.resize(gathered_.size());
    for (const Found& found : gathered_) pairs_[starts_[found.partner]++] = found.pair;
    uint32_t begin = 0;
    for (std::size_t c = 0; c < partners.size(); ++c) {
        found_[c].pairs = std::span(pairs_).subspan(begin, starts_[c] - begin);
        begin = starts_[c];
        if (held_[c] != 0) partner_at_[index.PositionOf(partners[c])] = kNone;
    }
}

}  // namespace speclink
