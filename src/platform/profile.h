#pragma once
// INI profile files: "[section]" header lines, then "key=value" lines, CRLF line ends (LF-only
// files are read too). Names and values are GBK bytes taken as they are; section and key
// names are compared without regard to ASCII letter case (the bytes of a double-byte
// character always exactly), with blanks around names and values trimmed. A key cannot hold
// "=" nor begin with "[": its line would read as another key or as a section header.
//
// Differences from the classic profile functions, on purpose:
// - values are read whole (no cut at 10,239 bytes, which would drop entries of a growing
//   value and could split a double-byte character);
// - a line break inside a name or value is written as a blank, so no value can add lines or
//   sections of its own;
// - every write replaces the file atomically (temporary file beside it, fsync, rename), so a
//   crash leaves the old file or the new one, never a half file; what a crash leaves under
//   a temporary name is removed by the next write of that file;
// - a write that fails says so on standard error, one line naming the file and the reason;
// - only regular files are read: anything else in a file's place (a FIFO, a device) reads
//   as empty and is never written over;
// - writers in one process are serialised per file, and read-modify-write changes
//   (update_profile, append_profile_value) happen under that lock, so none is lost.
// Nothing here throws.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::platform {

// The lines of one profile file, with lookups and in-place changes that keep every other
// line as it was.
class profile_document {
  public:
    explicit profile_document(std::string_view bytes = {});

    // The file contents, each line ended by CRLF.
    std::string bytes() const;
    // The value of the first matching key of the first matching section.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;
    // Replaces the value of that key, or adds the key at the end of the section, or adds the
    // section at the end of the file.
    void set(std::string_view section, std::string_view key, std::string_view value);

  private:
    std::vector<std::string> lines_;
};

// "" when the file, the section or the key is missing.
std::string read_profile(const std::string& path, std::string_view section, std::string_view key);
// The whole file read once, for several lookups; empty when it cannot be read.
profile_document read_profile_document(const std::string& path);
// Creates the file (and missing parent folders, mode 0700), section or key as needed; false
// when the file cannot be read or written (the old file is then left as it was).
bool write_profile(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value);
// Reads the value, appends `suffix` and writes it back, all under the file's lock.
bool append_profile_value(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view suffix);
// Read-modify-write under the file's lock: `change` edits the document (empty for a missing
// file) and returns false to write nothing. False also when reading or writing fails.
bool update_profile(const std::string& path, const std::function<bool(profile_document&)>& change);

// Deleting a file that does not exist is no error.
bool delete_file(const std::string& path);
// Linux has no hidden attribute; the file is made readable by its owner only (0600), which
// keeps the account's data from other users. False (with a line on standard error) when
// that fails, as for a missing file.
bool set_hidden(const std::string& path);

// $XDG_DATA_HOME/velkor/ (default ~/.local/share/velkor/), with the trailing slash. The
// folder is created by the first write into it.
std::string data_dir();
// data_dir() + name, such as "data.txt" or "tolvex.txt".
std::string data_file(std::string_view name);

// Tests only: called when the new contents are complete and synced in `temp_path`, just
// before they replace the file. Returning false abandons the write there, as a crash would
// (the temporary file stays behind until the next write; no line is written on standard
// error). An empty function removes the hook.
void set_profile_commit_hook(std::function<bool(const std::string& temp_path)> hook);

}  // namespace velkor::platform
