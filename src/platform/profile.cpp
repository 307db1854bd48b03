#include "platform/profile.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>

namespace velkor::platform {
namespace {

namespace fs = std::filesystem;

inline unsigned char byte(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}
inline bool is_lead(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
inline bool is_trail(unsigned char c) {
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}
inline std::size_t char_length(std::string_view s, std::size_t i) {
    return (is_lead(byte(s, i)) && i + 1 < s.size() && is_trail(byte(s, i + 1))) ? 2 : 1;
}
inline bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}
inline unsigned char fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

// Blanks are single bytes below 0x40, so trimming never cuts into a double-byte character.
std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && is_blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// ASCII letters fold; the second byte of a double-byte character (which may look like a
// letter) never does.
bool same_name(std::string_view a, std::string_view b) {
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size()) {
        return false;
    }
    std::size_t i = 0;
    while (i < a.size()) {
        if (char_length(a, i) == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
                return false;
            }
            i += 2;
        } else {
            if (fold(byte(a, i)) != fold(byte(b, i))) {
                return false;
            }
            ++i;
        }
    }
    return true;
}

// The name of a section header line ("[name]", the last "]" closing it), or nullopt.
std::optional<std::string_view> section_name(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') {
        return std::nullopt;
    }
    std::size_t close = std::string_view::npos;
    for (std::size_t i = 1; i < line.size(); i += char_length(line, i)) {
        if (line[i] == ']') {
            close = i;
        }
    }
    // A final "]" always closes, also behind a lone lead byte (server text, such as an
    // activity's name, need not be valid GBK): a header reads back as it was written.
    if (line.size() > 1 && line.back() == ']') {
        close = line.size() - 1;
    }
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return trim(line.substr(1, close - 1));
}

// Key and value of a key line; a line without "=" is a key with an empty value.
std::pair<std::string_view, std::string_view> key_line(std::string_view line) {
    const std::size_t eq = line.find('=');  // '=' is never the second byte of a character
    if (eq == std::string_view::npos) {
        return {trim(line), {}};
    }
    return {trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

std::string one_line(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

enum class read_result { ok, missing, failed };

std::string reason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// Only a regular file is read: a FIFO would block the caller and a device such as
// /dev/zero would never end. O_NONBLOCK keeps the open itself from waiting on a FIFO.
read_result read_whole_file(const std::string& path, std::string& out, std::string& why) {
    out.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return read_result::missing;
        }
        why = reason(errno);
        return read_result::failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = reason(errno);
    } else if (S_ISDIR(st.st_mode)) {
        why = reason(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
    }
    if (!why.empty()) {
        ::close(fd);
        return read_result::failed;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            why = reason(errno);
            ::close(fd);
            return read_result::failed;
        }
        if (got == 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return read_result::ok;
}

bool write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put == 0) {
            errno = EIO;  // no progress and no error: never loop on it
        }
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Creates the missing folders of `dir`, each private to the user.
bool make_folders(const fs::path& dir) {
    if (dir.empty()) {
        return true;
    }
    std::error_code ec;
    if (fs::is_directory(dir, ec)) {
        return true;
    }
    if (dir.has_parent_path() && dir.parent_path() != dir && !make_folders(dir.parent_path())) {
        return false;
    }
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::mutex hook_mutex;
std::function<bool(const std::string&)> commit_hook;

bool commit_allowed(const std::string& temp_path) {
    std::function<bool(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> lock(hook_mutex);
        hook = commit_hook;
    }
    return !hook || hook(temp_path);
}

void sync_folder(const fs::path& dir) {
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// "<name>.tmp-<pid>-<n>" is a temporary file of `target`; its pid, or 0.
pid_t temp_owner(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) {
        return 0;
    }
    name.remove_prefix(prefix.size());
    pid_t pid = 0;
    auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (ec != std::errc() || pid <= 0 || end == name.data() + name.size() || *end != '-') {
        return 0;
    }
    const char* const last = name.data() + name.size();
    unsigned long n = 0;
    auto [tail, ec2] = std::from_chars(end + 1, last, n);
    return ec2 == std::errc() && tail == last ? pid : 0;
}

// A writer killed between creating its temporary file and the rename leaves that file
// behind; without this every such crash would add one for good. Ours are never in flight
// here (the caller holds the file's lock), nor are those of processes that have ended; a
// running process's file is left to it.
void remove_stale_temps(const fs::path& target) {
    const fs::path dir = target.parent_path();
    const std::string prefix = target.filename().string() + ".tmp-";
    DIR* folder = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!folder) {
        return;
    }
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(folder)) {
        const pid_t pid = temp_owner(entry->d_name, prefix);
        if (pid > 0 && (pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH))) {
            stale.emplace_back(entry->d_name);
        }
    }
    for (const std::string& name : stale) {
        ::unlinkat(::dirfd(folder), name.c_str(), 0);
    }
    ::closedir(folder);
}

// The new contents go to a temporary file beside the target, are synced, and only then
// take the target's name: a reader or a crash sees the old file or the new one. On
// failure `why` says why; it stays empty when the commit hook abandoned the write.
bool replace_file(const std::string& path, const std::string& bytes, std::string& why) {
    const fs::path target(path);
    const fs::path dir = target.parent_path();
    if (!make_folders(dir)) {
        why = reason(errno);
        return false;
    }
    remove_stale_temps(target);
    mode_t mode = 0600;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    }
    static std::atomic<unsigned> counter{0};
    const std::string temp =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = reason(errno);
        return false;
    }
    bool ok = ::fchmod(fd, mode) == 0 && write_all(fd, bytes) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        why = reason(error);
        ::unlink(temp.c_str());
        return false;
    }
    if (!commit_allowed(temp)) {
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        why = reason(errno);
        ::unlink(temp.c_str());
        return false;
    }
    sync_folder(dir);
    return true;
}

// One line per failed write, so that the user learns why a setting did not stick.
void report_failure(const std::string& path, const std::string& why) {
    try {
        std::cerr << ("velkor: could not write " + path + ": " + why + "\n") << std::flush;
    } catch (...) {
    }
}

// One lock per file, keyed by the canonical path so that two spellings of one file share it.
std::mutex& path_lock(const std::string& path) {
    static std::mutex map_mutex;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::error_code ec;
    fs::path key = fs::weakly_canonical(fs::absolute(path, ec), ec);
    const std::string name = ec ? path : key.string();
    std::lock_guard<std::mutex> lock(map_mutex);
    auto& slot = locks[name];
    if (!slot) {
        slot = std::make_unique<std::mutex>();
    }
    return *slot;
}

}  // namespace

profile_document::profile_document(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t nl = bytes.find('\n', pos);
        std::string_view line =
            bytes.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines_.emplace_back(line);
        if (nl == std::string_view::npos) {
            break;
        }
        pos = nl + 1;
    }
}

std::string profile_document::bytes() const {
    std::string out;
    for (const std::string& line : lines_) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::optional<std::string> profile_document::get(std::string_view section,
                                                 std::string_view key) const {
    bool inside = false;
    for (const std::string& line : lines_) {
        if (auto name = section_name(line)) {
            if (inside) {
                return std::nullopt;  // only the first section of that name counts
            }
            inside = same_name(*name, section);
            continue;
        }
        if (inside && !trim(line).empty()) {
            auto [k, v] = key_line(line);
            if (same_name(k, key)) {
                return std::string(v);
            }
        }
    }
    return std::nullopt;
}

void profile_document::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sec = one_line(trim(section));
    const std::string k = one_line(trim(key));
    const std::string v = one_line(value);
    std::size_t header = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = section_name(lines_[i]); name && same_name(*name, sec)) {
            header = i;
            break;
        }
    }
    if (header == lines_.size()) {
        lines_.push_back("[" + sec + "]");
        lines_.push_back(k + "=" + v);
        return;
    }
    std::size_t last = header;  // the section's last non-blank line
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        if (section_name(lines_[i])) {
            break;
        }
        if (trim(lines_[i]).empty()) {
            continue;
        }
        auto [found, old] = key_line(lines_[i]);
        if (same_name(found, k)) {
            lines_[i] = std::string(found) + "=" + v;
            return;
        }
        last = i;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last) + 1, k + "=" + v);
}

std::string read_profile(const std::string& path, std::string_view section, std::string_view key) {
    try {
        std::string bytes;
        std::string why;
        if (read_whole_file(path, bytes, why) != read_result::ok) {
            return {};
        }
        return profile_document(bytes).get(section, key).value_or(std::string());
    } catch (...) {
        return {};  // out of memory on a file too large to hold
    }
}

profile_document read_profile_document(const std::string& path) {
    try {
        std::string bytes;
        std::string why;
        if (read_whole_file(path, bytes, why) != read_result::ok) {
            return profile_document();
        }
        return profile_document(bytes);
    } catch (...) {
        return profile_document();  // out of memory on a file too large to hold
    }
}

bool update_profile(const std::string& path, const std::function<bool(profile_document&)>& change) {
    std::string why;
    try {
        std::lock_guard<std::mutex> lock(path_lock(path));
        std::string bytes;
        // A file that exists but cannot be read is never replaced by a fresh one.
        if (read_whole_file(path, bytes, why) != read_result::failed) {
            profile_document doc(bytes);
            if (!change(doc)) {
                return false;
            }
            if (replace_file(path, doc.bytes(), why)) {
                return true;
            }
        }
    } catch (const std::bad_alloc&) {
        why = "out of memory";  // the old file stays
    } catch (const std::exception& e) {
        why = e.what();
    } catch (...) {
        why = "unexpected error";
    }
    if (!why.empty()) {
        report_failure(path, why);
    }
    return false;
}

bool write_profile(const std::string& path, std::string_view section, std::string_view key,
                   std::string_view value) {
    return update_profile(path, [&](profile_document& doc) {
        doc.set(section, key, value);
        return true;
    });
}

bool append_profile_value(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view suffix) {
    return update_profile(path, [&](profile_document& doc) {
        doc.set(section, key, doc.get(section, key).value_or(std::string()) + std::string(suffix));
        return true;
    });
}

bool delete_file(const std::string& path) {
    try {
        std::lock_guard<std::mutex> lock(path_lock(path));
        return ::unlink(path.c_str()) == 0 || errno == ENOENT;
    } catch (...) {
        return false;
    }
}

bool set_hidden(const std::string& path) {
    if (::chmod(path.c_str(), 0600) == 0) {
        return true;
    }
    const int error = errno;
    try {
        std::cerr << ("velkor: could not make " + path + " private: " + reason(error) + "\n")
                  << std::flush;
    } catch (...) {
    }
    return false;
}

std::string data_dir() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {  // a relative value is to be ignored
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home && home[0]) {
            base = home;
        } else {
            struct passwd pw {};
            struct passwd* found = nullptr;
            char buffer[4096];
            if (::getpwuid_r(::getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found) {
                base = found->pw_dir;
            }
        }
        base += "/.local/share";
    }
    if (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/velkor/";
}

std::string data_file(std::string_view name) {
    return data_dir() + std::string(name);
}

void set_profile_commit_hook(std::function<bool(const std::string& temp_path)> hook) {
    std::lock_guard<std::mutex> lock(hook_mutex);
    commit_hook = std::move(hook);
}

}  // namespace velkor::platform
