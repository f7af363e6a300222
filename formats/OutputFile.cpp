#include "speclink/formats/OutputFile.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <system_error>

namespace speclink {

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    file_.reset(std::fopen(path_.c_str(), "wb"));
    if (!file_) Fail("cannot create");
}

void OutputFile::Fail(const std::string& what) const {
    throw std::system_error(errno, std::generic_category(), what + " " + path_);
}

void OutputFile::Write(std::string_view text) {
    if (!file_) Fail("write after close of");
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size()) Fail("cannot write");
}

void OutputFile::Print(const char* format, ...) {
    if (!file_) Fail("write after close of");
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vfprintf(file_.get(), format, arguments);
    va_end(arguments);
    if (written < 0) Fail("cannot write");
}

uint64_t OutputFile::Position() {
    const long position = std::ftell(file_.get());
    if (position < 0) Fail("cannot tell the position in");
    return static_cast<uint64_t>(position);
}

void OutputFile::WriteAt(uint64_t position, std::string_view text) {
    if (std::fseek(file_.get(), static_cast<long>(position), SEEK_SET) != 0) Fail("cannot seek in");
    Write(text);
    if (std::fseek(file_.get(), 0, SEEK_END) != 0) Fail("cannot seek in");
}

void OutputFile::Close() {
    if (!file_) return;
    std::FILE* file = file_.release();
    const bool failed = std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) Fail("cannot write");
}

std::string Lossless(double value) {
    // Fixed notation over the range of m/z, intensities and times; exponents outside it.
    const double magnitude = std::fabs(value);
    const bool fixed = value == 0.0 || (magnitude >= 1e-5 && magnitude < 1e15);
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      fixed ? std::chars_format::fixed : std::chars_format::scientific);
    return std::string(buffer, result.ptr);
}

std::string XmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&apos;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

}  // namespace speclink
