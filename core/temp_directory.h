// The program's private folder for temporary copies of archive members: made on first use
// under $TMPDIR (or /tmp) with a unique name, and removed with everything in it when the
// program ends, so that no copy outlives the run even when a side was never reset.
#pragma once

#include "core/string.h"

#include <string_view>

// The folder with a trailing separator, or an empty text when it cannot be made.
[[nodiscard]] const STRING &PrivateTempDirectory();

// Creates an empty file at path, failing when anything already exists there; true on success.
[[nodiscard]] bool CreateFileExclusively(std::string_view path);

// Deletes a file; true when it is gone afterwards.
bool DeleteFileAt(std::string_view path);

// For a signal handler that ends the program: deletes the folder's files and the folder with
// async-signal-safe calls only, since destructors will not run.
void RemovePrivateTempDirectoryFromSignal();
