#pragma once

#include "speclink/formats/ByteInput.h"
#include "speclink/formats/MgfReader.h"
#include "speclink/formats/RecordEmitter.h"

namespace speclink {

/// ReadMgf of a mapped file (`input.mapped()`), from `start`.
///
/// The file is cut at even offsets into pieces, and each piece is read whole on a worker
/// thread, which finds where its spectra begin and end itself: nothing reads the text ahead
/// of the workers. A piece's first spectrum is the first "BEGIN IONS" line at or after its
/// offset; its last one may run on past the next piece's offset.
///
/// What a piece cannot know before the pieces before it are read, it leaves open: its line
/// numbers count from its start, and a spectrum whose scan is its position, or which takes
/// the header CHARGE in force when the piece begins, is made into records only when the
/// pieces are handed on, in file order. Records, counts and the first error are therefore
/// those of a read line by line.
///
/// Each worker hands its own piece's records to the emitter's sink, in turn: the sink is
/// called on the reading threads, one call after another, never two at once.
void ReadMappedMgf(ByteInput& input, RecordEmitter& emitter, const MgfState& start);

}  // namespace speclink
