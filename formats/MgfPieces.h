#pragma once

#include <cstdint>
#include <string>

#include "speclink/formats/MgfReader.h"
#include "speclink/formats/ReadOptions.h"
#include "speclink/formats/ReadResult.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink {

/// A plain MGF file read in pieces, by several processes at once: each piece runs from one
/// spectrum start to another, and starts from the state the pieces before it end in (lines,
/// spectra, the header CHARGE in force), so that the pieces give the records a read of the
/// whole file gives, in the same order, and the same first error of a well-formed start.
///
/// The first spectrum start ("BEGIN IONS" line) at or after byte `offset` of `path`, or the
/// file's size: where a piece may begin or end (0 stays 0: the first piece holds the header).
uint64_t MgfPieceBoundary(const std::string& path, uint64_t offset);

/// The state after bytes [begin, end) of `path` (two boundaries), read from `start`, found
/// without parsing the spectra: cheap enough to run ahead of the reading.
MgfState ScanMgfPiece(const std::string& path, uint64_t begin, uint64_t end, const MgfState& start);

/// The records of bytes [begin, end) of `path`, read from `start` (the state the pieces
/// before end in), handed to `sink` as ReadSpectra hands them; counts them as one file.
ReadResult ReadMgfPiece(const std::string& path, uint64_t begin, uint64_t end, const MgfState& start,
                        const ReadOptions& options, const SpectrumSink& sink);

}  // namespace speclink
