#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace speclink {

/// File name of `path` without its directory and without the spectrum-file extensions it ends
/// with (".gz", ".mgf", ".mzML", ".mzXML", ".ms2", ".dta", ".xml", any case, repeatedly):
/// "/data/run.01.mzML.gz" gives "run.01".
std::string InputBaseName(const std::string& path);

/// File name of `path` without its directory.
std::string FileNameOf(const std::string& path);

/// Name of a record read from a multi-spectrum file, "base.scan.scan.charge.dta", so that the
/// consensus files named after it carry the scan.
std::string RecordFileName(const std::string& base, int scan, int charge);

/// Scan number named by a native id: the number of its first "scan=", "scanId=", "spectrum="
/// or "index=" field, as in "controllerType=0 controllerNumber=1 scan=7", "spectrum=3538" or
/// "index=12"; also inside text that quotes such an id (a field starts the text or follows a
/// character that is neither a letter nor a digit).
std::optional<int> ScanFromNativeId(std::string_view id);

/// Scan number a spectrum title carries: a native-id field (ScanFromNativeId, as in titles
/// that quote the native id), else the first number of a "name.first.last.charge" or
/// "name.first.last.charge.dta" title.
std::optional<int> ScanFromTitle(std::string_view title);

}  // namespace speclink
