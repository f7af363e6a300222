#pragma once

#include <memory>

namespace speclink::cli {

/// Keeps data a run no longer needs, once its summary is out, until the process ends: the
/// end hands all memory back at once, where freeing a million records one by one takes over
/// half a second. In a process that goes on (a test, a host) it is freed at its normal exit.
void KeepUntilExit(std::shared_ptr<const void> data);

/// Ends the process with `code` once the standard streams are flushed, without freeing what
/// KeepUntilExit keeps.
[[noreturn]] void ExitKeeping(int code);

}  // namespace speclink::cli
