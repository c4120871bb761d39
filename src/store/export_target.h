// Where an export may write: a table, a PDF or a picture the user names.
// Spreadsheet programs refuse to replace a file made read-only, and so do we,
// although a rename over it (all the writer needs) would succeed.
#pragma once

#include <filesystem>
#include <string>

namespace kelvora {

// Checks a file an export is about to write. Refused, with the reason for a
// message: a path that exists and is not a regular file; a file the user may
// not write; a folder the user may not write in. The superuser may write
// anything, so a file or folder without any write permission counts as made
// read-only on purpose. A missing folder gives the system's reason.
bool CheckExportTarget(const std::filesystem::path& out, std::string& reason);

// The folder the file lands in: that of the file a link points at.
std::filesystem::path ExportFolderOf(const std::filesystem::path& out);

// CheckExportTarget, then WriteFileAtomically.
bool WriteExportFile(const std::filesystem::path& out, const std::string& bytes,
                     std::string& reason);

}  // namespace kelvora
