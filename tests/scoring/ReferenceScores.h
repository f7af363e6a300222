#pragma once

// Plain re-statements of the seven scores, written for reading rather than speed, to check
// the library's operations against over random lists. Lists arrive as ComputeScore leaves
// them (sorted by intensity for the greedy methods), so both see the same peak order.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>

#include "speclink/library/peaks/PeakList.h"

namespace speclink::test::reference {

struct Settings {
    int32_t method;
    double tolerance;
    int32_t unit;  // 0 Da, anything else ppm
};

inline bool Strict(double difference, double reference, const Settings& s, bool honour_unit) {
    if (!honour_unit || s.unit == 0) return std::fabs(difference) < s.tolerance;
    return std::fabs(difference) / reference * 1000000.0 < s.tolerance;
}

/// Match test of the greedy methods for first-list m/z `a` and second-list m/z `b`.
inline bool GreedyMatch(const Settings& s, double a, double b, double shift) {
    switch (s.method) {
        case 1:
            return Strict(b - a, a, s, true);
        case 2:
        case 3: {
            const double used = s.method == 3 ? shift * 0.5 : shift;
            if (Strict(a - b, b, s, true)) return true;
            return used > 0.5 && Strict(a - (b + used), b + used, s, true);
        }
        case 4: {
            if (Strict(a - b, b, s, true) || Strict(2.0 * a - b, b, s, true)) return true;
            const double c = b + shift;
            return shift > 0.5 && (Strict(a - c, c, s, true) || Strict(2.0 * a - c, c, s, true));
        }
        default:
            return Strict(a - b, b, s, false) || (shift > 0.5 && Strict(a - (b + shift), 0.0, s, false));
    }
}

inline double Greedy(const Settings& s, const PeakList& first, const PeakList& second, double shift) {
    std::set<std::size_t> taken_first;
    std::set<std::size_t> taken_second;
    double products = 0.0;
    if (s.method == 1) {
        for (std::size_t j = 0; j < second.size(); ++j) {
            for (std::size_t i = 0; i < first.size(); ++i) {
                if (taken_first.count(i) == 0 && GreedyMatch(s, first[i].mz, second[j].mz, shift)) {
                    taken_first.insert(i);
                    taken_second.insert(j);
                    products += second[j].intensity * first[i].intensity;
                    break;
                }
            }
        }
    } else {
        for (std::size_t i = 0; i < first.size(); ++i) {
            for (std::size_t j = 0; j < second.size(); ++j) {
                if (taken_second.count(j) == 0 && GreedyMatch(s, first[i].mz, second[j].mz, shift)) {
                    taken_first.insert(i);
                    taken_second.insert(j);
                    products += first[i].intensity * second[j].intensity;
                    break;
                }
            }
        }
    }
    if (s.method == 6) {
        double m1 = 0.0;
        double m2 = 0.0;
        for (const std::size_t i : taken_first) m1 += first[i].intensity * first[i].intensity;
        for (const std::size_t j : taken_second) m2 += second[j].intensity * second[j].intensity;
        const double d = m2 + m1 + products;
        return d > 0.0 ? products / d : 0.0;
    }
    double q1 = 0.0;
    double q2 = 0.0;
    for (const Peak& p : first) q1 += p.intensity * p.intensity;
    for (const Peak& p : second) q2 += p.intensity * p.intensity;
    return q1 > 0.0 && q2 > 0.0 ? products / std::sqrt(q1 * q2) : 0.0;
}

inline double SumOf(const std::map<std::size_t, double>& record) {
    double sum = 0.0;
    for (const auto& [position, intensity] : record) sum += intensity;
    return sum;
}

inline double Intensity(const Settings& s, const PeakList& first, const PeakList& second, double shift) {
    std::map<std::size_t, double> r1;
    std::map<std::size_t, double> r2;
    const std::size_t n1 = first.size();
    const std::size_t n2 = second.size();
    std::size_t i = 0;
    std::size_t j = 0;
    if (n1 > 0) {
        while (j < n2) {
            if (i >= n1) break;
            double d = first[i].mz - second[j].mz;
            if (s.unit != 0) d = d / second[j].mz * 1000000.0;
            if (d < -s.tolerance) {
                ++i;
            } else if (d > s.tolerance) {
                ++j;
            } else {
                r1[i] = first[i].intensity;
                r2[j] = second[j].intensity;
                if (i + 1 == n1 || j + 1 == n2) {
                    ++i;
                } else if (first[i].mz - second[j + 1].mz < first[i + 1].mz - second[j].mz) {
                    ++j;
                } else {
                    ++i;
                }
            }
        }
    }
    if (std::fabs(shift) > 0.5) {
        for (i = 0, j = 0; i < n1 && j < n2;) {
            const double c = second[j].mz + shift;
            if (c <= 0.0) {
                ++j;
            } else if (first[i].mz - c < -s.tolerance) {
                ++i;
            } else if (first[i].mz - c > s.tolerance) {
                ++j;
            } else {
                r1[i] = first[i].intensity;
                r2[j] = second[j].intensity;
                ++i;
            }
        }
    }
    double total = 0.0;
    for (const Peak& p : first) total += p.intensity;
    for (const Peak& p : second) total += p.intensity;
    return total > 0.0 ? (SumOf(r2) + SumOf(r1)) / total : 0.0;
}

inline double Count(const Settings& s, const PeakList& first, const PeakList& second, double shift) {
    std::map<std::size_t, double> r1;
    std::map<std::size_t, double> r2;
    const std::size_t n1 = first.size();
    const std::size_t n2 = second.size();
    int32_t count = 0;
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n1 && j < n2) {
        const double d = first[i].mz - second[j].mz;
        if (d < -s.tolerance) {
            ++i;
        } else if (d > s.tolerance) {
            ++j;
        } else {
            double e = d;
            double best = 10000.0;
            while (e < best) {
                best = e;
                ++j;
                if (j == n2) break;
                e = second[j].mz - first[i].mz;
            }
            ++count;
            r1[i] = first[i].intensity;
            r2[j - 1] = second[j - 1].intensity;
            ++i;
        }
    }
    if (shift > 0.5) {
        for (i = 0, j = 0; i < n1 && j < n2;) {
            const double r = first[i].mz - second[j].mz;
            const double d = r - std::fabs(shift);
            if (d < -s.tolerance) {
                ++i;
            } else if (d > s.tolerance) {
                ++j;
            } else {
                double e = r;
                double best = 10000.0;
                while (e < best) {
                    best = e;
                    ++j;
                    if (j == n2) break;
                    e = second[j].mz - first[i].mz - std::fabs(shift);
                }
                if (r1[i] == 0.0 && r2[j - 1] == 0.0) {
                    ++count;
                    r1[i] = first[i].intensity;
                    r2[j - 1] = second[j - 1].intensity;
                }
                ++i;
            }
        }
    }
    const std::size_t larger = std::max(n1, n2);
    return larger == 0 ? 0.0 : static_cast<double>(count) / static_cast<double>(larger);
}

/// The score of `s.method` for lists already in the order ComputeScore scores them in.
inline double Score(const Settings& s, const PeakList& first, const PeakList& second, double shift) {
    if (s.method == 0) return Intensity(s, first, second, shift);
    if (s.method == 5) return Count(s, first, second, shift);
    return Greedy(s, first, second, shift);
}

}  // namespace speclink::test::reference
