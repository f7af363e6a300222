#pragma once

#include <string>
#include <string_view>

// The few file-system calls the engines rely on. Each one reports nothing and never
// throws: a failure shows only as a false result or a missing file.
namespace speclink::platform {

/// True when anything (file or directory) exists at `path`.
bool PathExists(const std::string& path);

/// True when `path` names an existing directory.
bool IsDirectory(const std::string& path);

/// Creates one directory level; the outcome is ignored.
void CreateDirectoryLevel(const std::string& path);

/// Copies `source` to `target`, replacing an existing target; the outcome is ignored.
void CopyFileReplacing(const std::string& source, const std::string& target);

/// Writes `text` as the whole content of `path`, creating the file or replacing its
/// content. False when the file cannot be opened; a write that fails after the open
/// (a full device) leaves the file with what was written and still gives true, as a
/// C stdio stream that is closed without checking would.
bool WriteFileReplacing(const std::string& path, std::string_view text);

/// `directory`, one '/', `name`. Nothing else is added or removed, so a directory that
/// ends in '/' gets a second one. An empty directory gives the bare `name`, relative to
/// the current directory, so that an unset directory never lands at the file-system root.
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace speclink::platform
