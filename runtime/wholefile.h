#pragma once
// Files written whole or not at all (the reports: summaries, tables, charts).
// The bytes go to a new file beside the named one, put on the disk, and that
// file then replaces the named one in one step; a failure leaves the earlier
// file as it was and no new or empty one. A device or pipe (/dev/null,
// /dev/stdout) has no file to replace and is written directly.
#include <string>
#include <string_view>

namespace dw {

// 0, or the code of the failure (the system's error number in
// LastSystemError), through the current OsFiles.
int WriteFileWhole(const std::string& name, std::string_view bytes);

// Removes the regular file `name` if there is one (a stale report); 0, or
// the code of the failure.
int RemoveRegularFile(const std::string& name);

}  // namespace dw
