#include "data_file_set.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vexa {

namespace {

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

mode_t currentUmask() {
    mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

bool writeDataFileSet(const std::filesystem::path& folder, const std::vector<DataFileContent>& files,
                      DataFileSetError* error) {
    return writeDataFileSet(folder, files, error,
                            [](const char* from, const char* to) { return ::rename(from, to); });
}

bool writeDataFileSet(const std::filesystem::path& folder, const std::vector<DataFileContent>& files,
                      DataFileSetError* error,
                      const std::function<int(const char*, const char*)>& renameFile) {
    std::vector<std::string> temps;
    auto fail = [&](const std::string& file, int err) {
        for (const auto& t : temps)
            ::unlink(t.c_str());
        if (error) {
            error->file = file;
            error->reason = std::strerror(err);
        }
        return false;
    };

    // A folder in the place of a data file would make its rename fail after others were
    // already renamed; find that before anything is replaced.
    for (const auto& f : files) {
        std::error_code ec;
        if (std::filesystem::is_directory(std::filesystem::symlink_status(folder / f.name, ec)))
            return fail(f.name, EISDIR);
    }

    std::vector<int> fds;
    for (const auto& f : files) {
        std::string pattern = (folder / ("." + f.name + ".XXXXXX")).string();
        int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            int err = errno;
            for (int open : fds)
                ::close(open);
            return fail(f.name, err);
        }
        temps.push_back(pattern);
        fds.push_back(fd);
    }

    // The files are written and flushed to disk side by side: most of the time goes into
    // waiting for the disk, and the waits overlap.
    std::vector<int> errors(files.size(), 0);
    std::vector<std::thread> writers;
    const mode_t mode = 0666 & ~currentUmask();
    for (std::size_t i = 0; i < files.size(); ++i) {
        writers.emplace_back([&, i] {
            // The permissions a freshly created file would get (the temporary file is private).
            ::fchmod(fds[i], mode);
            if (!writeAll(fds[i], files[i].bytes) || ::fsync(fds[i]) != 0)
                errors[i] = errno ? errno : EIO;
            if (::close(fds[i]) != 0 && errors[i] == 0)
                errors[i] = errno;
        });
    }
    for (auto& t : writers)
        t.join();
    for (std::size_t i = 0; i < files.size(); ++i)
        if (errors[i] != 0)
            return fail(files[i].name, errors[i]);

    // Before the first rename every old file gets a second name (a hard link), so that a
    // rename that fails half-way can put back the files already replaced.
    struct OldFile {
        bool existed = false;
        std::string keep; // the second name; empty when none could be made
    };
    std::vector<OldFile> old(files.size());
    std::vector<std::string> targets;
    for (std::size_t i = 0; i < files.size(); ++i) {
        targets.push_back((folder / files[i].name).string());
        struct stat st {};
        if (::lstat(targets[i].c_str(), &st) != 0)
            continue;
        old[i].existed = true;
        std::string keep = (folder / ("." + files[i].name + ".old.XXXXXX")).string();
        int fd = ::mkstemp(keep.data());
        if (fd < 0)
            continue;
        ::close(fd);
        ::unlink(keep.c_str());
        if (::link(targets[i].c_str(), keep.c_str()) == 0)
            old[i].keep = keep;
    }
    auto dropKept = [&] {
        for (const auto& o : old)
            if (!o.keep.empty())
                ::unlink(o.keep.c_str());
    };

    for (std::size_t i = 0; i < files.size(); ++i) {
        if (renameFile(temps[i].c_str(), targets[i].c_str()) != 0) {
            int err = errno;
            for (std::size_t j = 0; j < i; ++j) {
                if (!old[j].existed)
                    ::unlink(targets[j].c_str());
                else if (!old[j].keep.empty() && ::rename(old[j].keep.c_str(), targets[j].c_str()) == 0)
                    old[j].keep.clear();
            }
            dropKept();
            temps.erase(temps.begin(), temps.begin() + static_cast<std::ptrdiff_t>(i));
            return fail(files[i].name, err);
        }
    }
    dropKept();
    // Make the renames themselves durable.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace vexa
