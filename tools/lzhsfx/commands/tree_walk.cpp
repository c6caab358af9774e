#include "commands/tree_walk.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <system_error>

#include "archive_writer/utf8_path.h"
#include "session/wildcard.h"
#include "system/tool_platform.h"

namespace lzhcli {

namespace {

namespace fs = std::filesystem;

// A stored name: "/" separated, UTF-8 (POSIX: the bytes as they are).
std::string Utf8(const fs::path& path) {
  std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

std::string LastName(const std::string& stored) {
  std::size_t slash = stored.rfind('/');
  return slash == std::string::npos ? stored : stored.substr(slash + 1);
}

class TreeWalker {
 public:
  TreeWalker(const TreeWalkOptions& options, std::vector<TreeEntry>& entries,
             std::vector<TreeNotice>& skipped)
      : options_(options), entries_(entries), skipped_(skipped) {
    std::error_code ec;
    if (!options.skipFile.empty())
      skipFile_ = fs::weakly_canonical(lzhwrite::Utf8Path(options.skipFile), ec);
  }

  void AddPath(const std::string& argument) {
    fs::path given = lzhwrite::Utf8Path(argument);
    fs::path source = given;
    // Stored relative, like the members of any archive: "/x" as "x", "." as nothing.
    std::string stored = Utf8(given.lexically_normal().relative_path());
    while (!stored.empty() && stored.back() == '/') stored.pop_back();
    if (options_.baseDirectory.empty()) {
      // From its last name down, wherever it lies; ".", ".." and "/" name
      // no folder of their own, and stand for what they hold.
      stored = LastName(stored);
      if (stored == "..") stored.clear();
    } else if (!given.is_absolute()) {
      source = lzhwrite::Utf8Path(options_.baseDirectory) / given;
    }
    if (stored == ".") stored.clear();
    if (stored == ".." || stored.rfind("../", 0) == 0) {
      Fail(argument,
           "refused: its stored name would climb out of the extraction directory (\"..\"); "
           "name it relative to a directory above it with -C");
      return;
    }
    Visit(source, stored, true);
  }

 private:
  void Fail(const std::string& path, const std::string& reason) {
    skipped_.push_back(TreeNotice{path, reason, true});
  }
  void Skip(const std::string& path, const std::string& reason) {
    skipped_.push_back(TreeNotice{path, reason, false});
  }

  // The earlier path stored as stored, or as a folder above it or within
  // it, or "": two members of one name would be extracted over each other.
  // Only the paths operands begin with are compared: a folder's own names
  // differ.
  std::string Taken(const std::string& stored) const {
    for (std::size_t slash = stored.find('/');; slash = stored.find('/', slash + 1)) {
      auto at = begun_.find(stored.substr(0, slash));
      if (at != begun_.end()) return at->second;
      if (slash == std::string::npos) break;
    }
    auto inside = begun_.lower_bound(stored + "/");
    if (inside != begun_.end() && inside->first.rfind(stored + "/", 0) == 0) return inside->second;
    return "";
  }

  bool Excluded(const std::string& stored) const {
    for (const auto& pattern : options_.excludes) {
      if (WildcardMatch(pattern, stored) || WildcardMatch(pattern, LastName(stored))) return true;
    }
    return false;
  }

  std::int64_t TimeOf(const fs::path& source) const {
    if (options_.fixedTime) return *options_.fixedTime;
    std::error_code ec;
    fs::file_time_type written = fs::last_write_time(source, ec);
    if (ec) return 0;
    auto system = std::chrono::file_clock::to_sys(written);
    return std::chrono::floor<std::chrono::seconds>(system).time_since_epoch().count();
  }

  // Adds what lies at source; returns the number of entries added. An
  // operand, or a name in an operand stored without a prefix, is begun.
  std::size_t Visit(const fs::path& source, const std::string& stored, bool begun) {
    if (!stored.empty() && Excluded(stored)) return 0;
    const std::string shown = lzhwrite::Utf8Name(source);
    std::error_code ec;
    fs::file_status status = fs::symlink_status(source, ec);
    if (ec || status.type() == fs::file_type::not_found) {
      Fail(shown, "cannot be read: " + (ec ? ec.message() : std::string("no such file")));
      return 0;
    }
    const bool link = status.type() == fs::file_type::symlink || IsNameSurrogate(source);
    if (link) {
      if (!options_.followLinks) {
        Skip(shown, "skipped: a symbolic link (-L follows links)");
        return 0;
      }
      status = fs::status(source, ec);
      if (ec || status.type() == fs::file_type::not_found) {
        Fail(shown, "cannot be followed: " +
                        (ec ? ec.message() : std::string("what it links to does not exist")));
        return 0;
      }
    }
    if (begun && !stored.empty()) {
      const std::string earlier = Taken(stored);
      if (!earlier.empty()) {
        Fail(shown, "refused: it would be stored as " + stored + ", which clashes with " + earlier +
                        ", archived already; with -C DIR, paths relative to DIR keep "
                        "their folders apart");
        return 0;
      }
    }
    std::size_t added = 0;
    switch (status.type()) {
      case fs::file_type::directory:
        added = VisitDirectory(source, stored, begun, link);
        break;
      case fs::file_type::regular:
        added = VisitFile(source, stored, link, status);
        break;
      default:
        Skip(shown, "skipped: neither a file nor a directory (a device, pipe or socket)");
        break;
    }
    if (begun && added != 0 && !stored.empty()) begun_.emplace(stored, shown);
    return added;
  }

  std::size_t VisitFile(const fs::path& source, const std::string& stored, bool link,
                        const fs::file_status& status) {
    // Only a file of the output's name, or a link, can be the output, and
    // only for such is the path resolved (a few system calls for each
    // directory above it).
    std::error_code ec;
    if (!skipFile_.empty() && (link || source.filename() == skipFile_.filename()) &&
        fs::weakly_canonical(source, ec) == skipFile_)
      return 0;
    const std::uintmax_t size = fs::file_size(source, ec);
    entries_.push_back(TreeEntry{lzhwrite::Utf8Name(source), stored, false, TimeOf(source),
                                 ec ? 0 : size, UnixModeToStore(status)});
    return 1;
  }

  std::size_t VisitDirectory(const fs::path& source, const std::string& stored, bool begun,
                             bool link) {
    std::error_code ec;
    // A link can lead back to a folder the walk is in, and round again for
    // ever; only through a link, as folders themselves form a tree.
    for (std::size_t i = 0; link && i < within_.size(); ++i) {
      if (fs::equivalent(within_[i], source, ec)) {
        Skip(lzhwrite::Utf8Name(source), "skipped: a link back to " +
                                             lzhwrite::Utf8Name(within_[i]) +
                                             ", which holds it (it would be followed for ever)");
        return 0;
      }
    }
    std::vector<fs::path> names;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec))
      names.push_back(it->path().filename());
    if (ec) {
      Fail(lzhwrite::Utf8Name(source), "cannot be read: " + ec.message());
      return 0;
    }
    // Byte order of the stored names, the same on every system.
    std::sort(names.begin(), names.end(),
              [](const fs::path& a, const fs::path& b) { return Utf8(a) < Utf8(b); });
    within_.push_back(source);
    std::size_t added = 0;
    for (const auto& name : names)
      added += Visit(source / name, stored.empty() ? Utf8(name) : stored + "/" + Utf8(name),
                     begun && stored.empty());
    within_.pop_back();
    // Files imply their directories; only an empty one needs an entry.
    if (added == 0 && !stored.empty()) {
      entries_.push_back(TreeEntry{lzhwrite::Utf8Name(source), stored, true, TimeOf(source), 0,
                                   UnixModeToStore(fs::status(source, ec))});
      added = 1;
    }
    return added;
  }

  const TreeWalkOptions& options_;
  std::vector<TreeEntry>& entries_;
  std::vector<TreeNotice>& skipped_;
  fs::path skipFile_;
  std::map<std::string, std::string> begun_;  // stored path -> the path it came from
  std::vector<fs::path> within_;              // the folders the walk is in
};

}  // namespace

std::vector<TreeEntry> CollectTree(const std::vector<std::string>& paths,
                                   const TreeWalkOptions& options,
                                   std::vector<TreeNotice>& skipped) {
  std::vector<TreeEntry> entries;
  TreeWalker walker(options, entries, skipped);
  for (const auto& path : paths) walker.AddPath(path);
  return entries;
}

}  // namespace lzhcli
