#pragma once
// Files written whole or not at all (the reports: summaries, tables, charts).
// The bytes go to a new file beside the named one, put on the disk, and that
// file then replaces the named one in one step; a failure leaves the earlier
// file as it was and no new or empty one. A symbolic link is kept: the file
// it leads to is replaced. A descriptor of the process (/dev/stdout, even
// when it is redirected to a file) and a device or pipe (/dev/null) have no
// file to replace and are written directly. A file another writer holds
// (a result file being written) is refused with 32.
#include <string>
#include <string_view>

namespace dw {

// 0, or the code of the failure (the system's error number in
// LastSystemError), through the current OsFiles.
[[nodiscard]] int WriteFileWhole(const std::string& name, std::string_view bytes);

// Removes the regular file `name` (the file a link leads to, never the link)
// if there is one: a stale report; 0, or the code of the failure (32 while
// another writer holds it).
int RemoveRegularFile(const std::string& name);

}  // namespace dw
