#include "speclink/library/modification/PartnerCandidates.h"

namespace speclink {

void PartnerCandidates::Gather(const FragmentIndex& index, double tolerance, std::size_t i,
                               std::span<const std::size_t> partners) {
    held_.assign(partners.size(), 0);
    if (!index.Holds(i) || partners.empty()) return;
    const double mass = index.mass(i);
    found_.resize(partners.size());
    if (partner_at_.size() <= partners.back()) partner_at_.resize(partners.back() + 1, kNone);
    for (std::size_t c = 0; c < partners.size(); ++c) {
        const std::size_t j = partners[c];
        if (!index.Holds(j)) continue;
        held_[c] = 1;
        partner_at_[j] = static_cast<uint32_t>(c);
        found_[c].shift = mass - index.mass(j);
        found_[c].tolerance = tolerance;
    }

    // The partners ascend, so all lie from the first to the last: when the list is ordered
    // by mass, little else does. The shifted line serves only the partners lighter than
    // spectrum i, but sorting those out costs more than the few pairs it would spare.
    gathered_.clear();
    const auto first = static_cast<uint32_t>(partners.front());
    const auto end = static_cast<uint32_t>(partners.back() + 1);
    const double reach = tolerance + FragmentIndex::kKeyError;
    const PeakList& peaks = index.Peaks(i);
    for (std::size_t k = 0; k < peaks.size(); ++k) {
        const auto gather = [&](uint32_t j, uint16_t l) {
            const uint32_t partner = partner_at_[j];
            if (partner != kNone) gathered_.push_back({partner, static_cast<uint32_t>(k), l});
        };
        index.ForEachNear(FragmentIndex::Key::kMz, peaks[k].mz, reach, first, end, gather);
        index.ForEachNear(FragmentIndex::Key::kMzLessMass, peaks[k].mz - mass, reach, first, end, gather);
    }

    // By partner, each partner's pairs in the order found: by the row's peak, ascending.
    starts_.assign(partners.size() + 1, 0);
    for (const Found& found : gathered_) ++starts_[found.partner + 1];
    for (std::size_t c = 0; c < partners.size(); ++c) starts_[c + 1] += starts_[c];
    pairs_.resize(gathered_.size());
    for (const Found& found : gathered_) pairs_[starts_[found.partner]++] = {found.row_peak, found.partner_peak};
    uint32_t begin = 0;
    for (std::size_t c = 0; c < partners.size(); ++c) {
        found_[c].pairs = std::span(pairs_).subspan(begin, starts_[c] - begin);
        begin = starts_[c];
        partner_at_[partners[c]] = kNone;
    }
}

}  // namespace speclink
