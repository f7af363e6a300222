#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "speclink/library/data/Spectrum.h"
#include "speclink/formats/ReadOptions.h"
#include "speclink/formats/ReadResult.h"
#include "speclink/formats/SourceSpectrum.h"

namespace speclink {

/// Receives the records read, one at a time, each with the native id of its spectrum (the
/// id as its file writes it; the view is valid for the call). Reading on several threads
/// (ReadOptions::threads) may call it on any of them, but never two calls at once, and each
/// call sees what the calls before it did.
using SpectrumSink = std::function<void(CSpectrum&&, std::string_view native_id)>;

/// Turns the spectra a reader finds into records for the caller, applying the rules every
/// format shares, and counts them. In this order, a spectrum is skipped and counted when
///   1. its MS level is not 2,
///   2. it has neither a precursor m/z nor a stated [M+H]+,
///   3. it has no peaks,
///   4. one of its charges is negative (negative mode: [M+H]+ does not apply),
///   5. it has no charge other than 0 and the caller assigns none,
///   6. its [M+H]+ for one of its charges is not a finite positive mass (an m/z below the
///      proton's, or an overflow).
/// Otherwise it gives one record per charge: the file's non-zero charges, else the caller's.
/// `precursor_mass` is the stated [M+H]+ as it stands, else MassFromMz(precursor m/z, charge);
/// `precursor_mz` is the file's m/z, else MzFromMass of the stated mass.
class RecordEmitter {
public:
    RecordEmitter(std::string base_name, const ReadOptions& options, ReadResult& result, const SpectrumSink& sink)
        : base_name_(std::move(base_name)), options_(options), result_(result), sink_(sink) {}

    void Emit(SourceSpectrum&& spectrum);

    /// An emitter with the same naming and options that counts into `result` and hands its
    /// records to `sink`: records made on another thread, passed on later by Forward.
    RecordEmitter Redirected(ReadResult& result, const SpectrumSink& sink) const {
        return RecordEmitter(base_name_, options_, result, sink);
    }

    /// Counts what a redirected emitter counted and hands its records on, in order, with
    /// their native ids.
    void Forward(const ReadResult& counted, std::span<CSpectrum> records, std::span<const std::string> native_ids);

    const ReadOptions& options() const { return options_; }
    /// Where the records go.
    const SpectrumSink& sink() const { return sink_; }

private:
    std::string base_name_;
    const ReadOptions& options_;
    ReadResult& result_;
    const SpectrumSink& sink_;
};

}  // namespace speclink
