#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "speclink/formats/ProgressCounter.h"

#include "speclink/library/common/StdioFile.h"

namespace speclink {

/// The content of a file, block by block, inflated on the fly when the file is gzip-compressed.
///
/// A file is taken as gzip when it starts with the gzip magic bytes 0x1f 0x8b, whatever its name;
/// concatenated gzip members are read one after the other. A damaged or truncated gzip stream,
/// or bytes after the last member that do not start another one, raise a FormatError.
///
/// A plain regular file is mapped into memory rather than copied: its blocks are then views of
/// one mapping, each following the one before, valid as long as the ByteInput (see mapped()).
class ByteInput {
public:
    static constexpr size_t kBlockSize = 1 << 16;
    /// Block size of a mapped file: a view costs nothing, so blocks only pace the progress.
    static constexpr size_t kMappedBlockSize = 1 << 22;

    /// Opens `path`; throws std::system_error when it cannot be opened. `progress` (optional) is told
    /// every file byte read.
    explicit ByteInput(std::string path, ProgressCounter* progress = nullptr);
    /// Bytes [begin, end) of the plain regular file `path`, mapped; throws std::system_error
    /// when it cannot be opened and std::invalid_argument when it cannot be mapped (a gzip
    /// file, a pipe) or the range lies outside it.
    ByteInput(std::string path, uint64_t begin, uint64_t end);
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;
    ~ByteInput();

    /// Up to `size` bytes from the start of the content, without consuming them. Only valid
    /// before the first NextBlock.
    std::string_view Peek(size_t size);

    /// The next block of content (valid until the next call, or as long as the ByteInput when
    /// mapped); empty at the end.
    std::string_view NextBlock();

    /// Whether the content is a mapped file: each block then directly follows the one before
    /// in memory, and all stay valid as long as this ByteInput.
    bool mapped() const { return mapping_ != nullptr; }

    /// A mapped file: the content NextBlock has not given yet, as one view valid as long as
    /// the ByteInput, and how many bytes of the mapping after it may still be read.
    std::string_view MappedRest() const;
    size_t MappedReadableAfter() const { return mapping_size_ - mapping_end_; }

    /// A mapped file: the content before `at` has been read, though not through NextBlock;
    /// the progress counter is told so (NextBlock tells it of no byte twice).
    void Passed(const char* at);

    /// A mapped file: the content before `end` is no longer read, so that its pages leave
    /// the process's memory (they stay in the system's file cache).
    void Release(const char* end);

    const std::string& path() const { return path_; }

private:
    /// Maps the file when it is a plain regular file; false when it is not, or cannot be.
    bool Map();

    /// Reads more file bytes into the raw buffer; false at the end of the file.
    bool FillRaw();
    /// Produces the next block of content into `block_`; false at the end.
    bool Produce();
    bool ProduceInflated();

    std::string path_;
    ProgressCounter* progress_;
    StdioFile file_;
    std::vector<unsigned char> raw_;
    size_t raw_begin_ = 0;
    size_t raw_end_ = 0;
    uint64_t file_offset_ = 0;
    bool file_end_ = false;

    bool gzip_ = false;
    z_stream zstream_{};
    bool zstream_open_ = false;
    bool member_end_ = false;

    std::string block_;
    std::string peeked_;
    bool peeked_pending_ = false;

    const char* mapping_ = nullptr;
    size_t mapping_size_ = 0;
    size_t mapping_offset_ = 0;
    size_t mapping_end_ = 0;  ///< where the content ends in the mapping
    size_t released_ = 0;  ///< bytes of the mapping given back, whole pages
    size_t reported_ = 0;  ///< bytes of the mapping the progress counter has been told of
};

}  // namespace speclink
