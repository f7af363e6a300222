#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace speclink {

/// The spectrum file formats read and written.
enum class SpectrumFormat { kMgf, kMzml, kMzxml, kMs2, kDta };

/// "MGF", "mzML", "mzXML", "MS2", "DTA".
std::string_view FormatName(SpectrumFormat format);

/// Tells a file's format from the start of its (inflated) content and its name:
///   1. XML content (first non-blank character '<') is mzML when its root element is <mzML>
///      or <indexedmzML>, mzXML when it is <mzXML>;
///   2. otherwise the extension decides (".mgf", ".ms2", ".dta", after an optional ".gz",
///      any case);
///   3. otherwise the first non-blank line: "BEGIN IONS" or KEY=value is MGF, a line starting
///      with "H", "S" or "Z" and a tab or space is MS2, two numbers is DTA.
/// Empty when none of these fits.
std::optional<SpectrumFormat> DetectFormat(std::string_view head, const std::string& path);

}  // namespace speclink
