#include "speclink/formats/ByteInput.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "speclink/formats/FormatError.h"

namespace speclink {
namespace {

constexpr unsigned char kGzipMagic0 = 0x1f;
constexpr unsigned char kGzipMagic1 = 0x8b;

}  // namespace

ByteInput::ByteInput(std::string path, ProgressCounter* progress)
    : path_(std::move(path)), progress_(progress), raw_(kBlockSize) {
    file_.reset(std::fopen(path_.c_str(), "rb"));
    if (!file_) throw std::system_error(errno, std::generic_category(), "cannot open " + path_);
    if (Map()) return;
    while (raw_end_ < 2 && FillRaw()) {
    }
    gzip_ = raw_end_ >= 2 && raw_[0] == kGzipMagic0 && raw_[1] == kGzipMagic1;
    if (gzip_) {
        // 16 + MAX_WBITS: expect a gzip header and trailer around the deflate data.
        if (inflateInit2(&zstream_, 16 + MAX_WBITS) != Z_OK) throw std::bad_alloc();
        zstream_open_ = true;
    }
}

ByteInput::ByteInput(std::string path, uint64_t begin, uint64_t end) : path_(std::move(path)), progress_(nullptr) {
    file_.reset(std::fopen(path_.c_str(), "rb"));
    if (!file_) throw std::system_error(errno, std::generic_category(), "cannot open " + path_);
    if (!Map()) throw std::invalid_argument(path_ + " cannot be read in pieces: not a plain file that can be mapped");
    if (begin > end || end > mapping_size_) throw std::invalid_argument(path_ + ": byte range outside the file");
    mapping_offset_ = begin;
    mapping_end_ = end;
    reported_ = begin;
}

ByteInput::~ByteInput() {
    if (zstream_open_) inflateEnd(&zstream_);
    if (mapping_ != nullptr) munmap(const_cast<char*>(mapping_), mapping_size_);
}

bool ByteInput::Map() {
    struct stat status {};
    if (fstat(fileno(file_.get()), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 2) return false;
    const auto size = static_cast<size_t>(status.st_size);
    void* mapping = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fileno(file_.get()), 0);
    if (mapping == MAP_FAILED) return false;
    const auto* bytes = static_cast<const unsigned char*>(mapping);
    if (bytes[0] == kGzipMagic0 && bytes[1] == kGzipMagic1) {
        munmap(mapping, size);
        return false;
    }
    madvise(mapping, size, MADV_SEQUENTIAL);
    mapping_ = static_cast<const char*>(mapping);
    mapping_size_ = size;
    mapping_end_ = size;
    return true;
}

bool ByteInput::FillRaw() {
    if (file_end_) return false;
    if (raw_begin_ > 0) {
        std::memmove(raw_.data(), raw_.data() + raw_begin_, raw_end_ - raw_begin_);
        raw_end_ -= raw_begin_;
        raw_begin_ = 0;
    }
    const size_t got = std::fread(raw_.data() + raw_end_, 1, raw_.size() - raw_end_, file_.get());
    if (got == 0) {
        if (std::ferror(file_.get())) {
            throw FormatError(path_, "byte " + std::to_string(file_offset_),
                              std::string("read error: ") + std::strerror(errno));
        }
        file_end_ = true;
        return false;
    }
    raw_end_ += got;
    file_offset_ += got;
    if (progress_) progress_->Add(got);
    return true;
}

void ByteInput::Passed(const char* at) {
    if (mapping_ == nullptr || at <= mapping_) return;
    const size_t offset = std::min(static_cast<size_t>(at - mapping_), mapping_end_);
    if (offset <= reported_) return;
    if (progress_ != nullptr) progress_->Add(offset - reported_);
    reported_ = offset;
}

void ByteInput::Release(const char* end) {
    if (mapping_ == nullptr || end <= mapping_) return;
    const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t upto = std::min(static_cast<size_t>(end - mapping_), mapping_size_) / page * page;
    if (upto <= released_) return;
    madvise(const_cast<char*>(mapping_) + released_, upto - released_, MADV_DONTNEED);
    released_ = upto;
}

std::string_view ByteInput::MappedRest() const {
    if (mapping_ == nullptr) return {};
    return std::string_view(mapping_ + mapping_offset_, mapping_end_ - mapping_offset_);
}

std::string_view ByteInput::Peek(size_t size) {
    if (mapping_ != nullptr) {
        return std::string_view(mapping_ + mapping_offset_, mapping_end_ - mapping_offset_).substr(0, size);
    }
    while (peeked_.size() < size && Produce()) peeked_ += block_;
    peeked_pending_ = !peeked_.empty();
    return std::string_view(peeked_).substr(0, size);
}

std::string_view ByteInput::NextBlock() {
    if (mapping_ != nullptr) {
        const size_t size = std::min(kMappedBlockSize, mapping_end_ - mapping_offset_);
        const std::string_view block(mapping_ + mapping_offset_, size);
        mapping_offset_ += size;
        Passed(mapping_ + mapping_offset_);
        return block;
    }
    if (peeked_pending_) {
        peeked_pending_ = false;
        block_.swap(peeked_);
        peeked_.clear();
        peeked_.shrink_to_fit();
    } else if (!Produce()) {
        return {};
    }
    return block_;
}

bool ByteInput::Produce() {
    if (gzip_) return ProduceInflated();
    if (raw_begin_ == raw_end_ && !FillRaw()) return false;
    block_.assign(reinterpret_cast<const char*>(raw_.data()) + raw_begin_, raw_end_ - raw_begin_);
    raw_begin_ = raw_end_;
    return true;
}

bool ByteInput::ProduceInflated() {
    block_.resize(kBlockSize);
    size_t produced = 0;
    while (produced == 0) {
        if (member_end_) {
            // Another gzip member may follow; anything else after the stream is an error.
            while (raw_end_ - raw_begin_ < 2 && FillRaw()) {
            }
            const size_t left = raw_end_ - raw_begin_;
            if (left == 0) break;
            if (left < 2 || raw_[raw_begin_] != kGzipMagic0 || raw_[raw_begin_ + 1] != kGzipMagic1) {
                throw FormatError(path_, "byte " + std::to_string(file_offset_ - left),
                                  "unexpected data after the end of the gzip stream");
            }
            inflateReset(&zstream_);
            member_end_ = false;
        }
        if (raw_begin_ == raw_end_) FillRaw();
        zstream_.next_in = raw_.data() + raw_begin_;
        zstream_.avail_in = static_cast<uInt>(raw_end_ - raw_begin_);
        zstream_.next_out = reinterpret_cast<Bytef*>(block_.data() + produced);
        zstream_.avail_out = static_cast<uInt>(block_.size() - produced);
        const int status = inflate(&zstream_, Z_NO_FLUSH);
        raw_begin_ = raw_end_ - zstream_.avail_in;
        produced = block_.size() - zstream_.avail_out;
        const std::string where = "byte " + std::to_string(file_offset_ - (raw_end_ - raw_begin_));
        if (status == Z_STREAM_END) {
            member_end_ = true;
        } else if (status == Z_BUF_ERROR || (status == Z_OK && produced == 0)) {
            if (raw_begin_ == raw_end_ && file_end_) throw FormatError(path_, where, "truncated gzip stream");
        } else if (status != Z_OK) {
            const std::string detail = zstream_.msg != nullptr ? zstream_.msg : "inflate failed";
            throw FormatError(path_, where, "corrupt gzip data: " + detail);
        }
    }
    block_.resize(produced);
    return produced > 0;
}

}  // namespace speclink
