#include "speclink/formats/LineInput.h"

#include <cstring>

#include "speclink/formats/FormatError.h"

namespace speclink {

bool LineInput::Next(std::string_view& line) {
    carry_.clear();
    while (true) {
        if (block_.empty()) {
            // Lines of the block before are no longer looked at (a line across blocks is
            // carried in a copy).
            if (block_.data() != nullptr) input_.Release(block_.data());
            if (!end_) block_ = input_.NextBlock();
            if (block_.empty()) {
                end_ = true;
                if (carry_.empty()) return false;
                line = Finish(carry_);
                return true;
            }
        }
        const size_t newline = block_.find('\n');
        const std::string_view piece = block_.substr(0, newline);
        if (carry_.size() + piece.size() > max_line_length_) {
            throw FormatError::AtLine(input_.path(), line_number_ + 1,
                                      "line longer than " + std::to_string(max_line_length_) + " bytes");
        }
        if (newline == std::string_view::npos) {
            carry_.append(piece);
            block_ = {};
            continue;
        }
        block_.remove_prefix(newline + 1);
        if (carry_.empty()) {
            line = Finish(piece);
        } else {
            carry_.append(piece);
            line = Finish(carry_);
        }
        return true;
    }
}

std::string_view LineInput::Finish(std::string_view line) {
    ++line_number_;
    if (std::memchr(line.data(), '\0', line.size()) != nullptr) {
        throw FormatError::AtLine(input_.path(), line_number_, "binary data (NUL byte) in a text file");
    }
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace speclink
