#include "speclink/library/modification/OffsetAnnotation.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace speclink {

OffsetAnnotation AnnotateOffset(double offset, const std::vector<KnownModification>& modifications,
                                const std::vector<ResidueMass>& residues, double tolerance, std::size_t most) {
    OffsetAnnotation annotation;
    using Match = std::tuple<double, int, int, std::string>;  // distance, records, name
    std::vector<Match> single;
    std::vector<Match> substituted;
    for (const KnownModification& modification : modifications) {
        const double distance = std::fabs(modification.mass - offset);
        if (distance > tolerance) continue;
        (modification.substitution ? substituted : single).emplace_back(distance, modification.record, 0, modification.name);
    }
    // Sums of two, each pair once: the modifications sorted by mass, the partner of each
    // found by binary search.
    std::vector<const KnownModification*> by_mass;
    for (const KnownModification& modification : modifications) {
        if (!modification.substitution) by_mass.push_back(&modification);
    }
    std::sort(by_mass.begin(), by_mass.end(), [](const KnownModification* a, const KnownModification* b) {
        return a->mass != b->mass ? a->mass < b->mass : a->record < b->record;
    });
    std::vector<Match> pairs;
    for (std::size_t a = 0; a < by_mass.size(); ++a) {
        const double wanted = offset - by_mass[a]->mass;
        auto b = std::lower_bound(by_mass.begin() + static_cast<std::ptrdiff_t>(a), by_mass.end(), wanted - tolerance,
                                  [](const KnownModification* m, double mass) { return m->mass < mass; });
        for (; b != by_mass.end() && (*b)->mass <= wanted + tolerance; ++b) {
            const double distance = std::fabs(by_mass[a]->mass + (*b)->mass - offset);
            if (distance > tolerance) continue;
            pairs.emplace_back(distance, std::min(by_mass[a]->record, (*b)->record),
                               std::max(by_mass[a]->record, (*b)->record), by_mass[a]->name + " + " + (*b)->name);
        }
    }
    // A name that two records share is given once.
    const auto keep = [most](std::vector<Match>& matches, std::vector<std::string>& names) {
        std::sort(matches.begin(), matches.end());
        for (std::size_t k = 0; k < matches.size() && names.size() < most; ++k) {
            if (std::find(names.begin(), names.end(), std::get<3>(matches[k])) == names.end()) {
                names.push_back(std::get<3>(matches[k]));
            }
        }
    };
    keep(single, annotation.modifications);
    keep(pairs, annotation.combinations);
    keep(substituted, annotation.substitutions);
    for (const ResidueMass& residue : residues) {
        if (std::fabs(residue.mass - offset) <= tolerance) annotation.residues.push_back(residue.residue);
    }
    return annotation;
}

}  // namespace speclink
