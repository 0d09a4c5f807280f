#include "tests/support/scratch_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace fs = std::filesystem;

namespace {

constexpr char kProcessFolderPrefix[] = "qozcal-test-";

// Opens a folder of this user's and takes the lock that says its process is
// alive; -1 when it is a link, someone else's, already locked or removed.
int LockFolder(const fs::path& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    bool ours = fstat(fd, &info) == 0 && info.st_uid == geteuid();
    // A folder removed between the open and the lock has no links left.
    if (!ours || flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &info) != 0 ||
        info.st_nlink == 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// This process's folder, locked for as long as the process lives. Forked
// copies share the lock and leave the folder to the process that made it.
class ProcessFolder {
public:
    explicit ProcessFolder(const fs::path& parent) {
        RemoveAbandonedScratchFolders(parent);
        for (int attempt = 0; attempt < 8 && lock_ < 0; ++attempt) {
            std::string pattern = (parent / kProcessFolderPrefix).string() + "XXXXXX";
            if (mkdtemp(pattern.data()) == nullptr) return;
            lock_ = LockFolder(pattern);
            // Locked first by another process's sweep, which removes it.
            if (lock_ < 0) continue;
            path_ = pattern;
            // A second user the tests run as may pass through to the folders
            // they open to it.
            chmod(path_.c_str(), 0711);
        }
    }
    ~ProcessFolder() {
        if (lock_ < 0 || getpid() != owner_) return;
        RemoveScratchFolder(path_);
        close(lock_);
    }
    ProcessFolder(const ProcessFolder&) = delete;
    ProcessFolder& operator=(const ProcessFolder&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    int lock_ = -1;
    pid_t owner_ = getpid();
};

// Made the first time a folder is asked for there.
const fs::path& ProcessFolderIn(ScratchPlace place) {
    if (place == ScratchPlace::Memory) {
        static ProcessFolder memory("/dev/shm");
        return memory.path();
    }
    static ProcessFolder temporary(fs::temp_directory_path());
    return temporary.path();
}

}  // namespace

void RemoveAbandonedScratchFolders(const fs::path& parent) {
    std::error_code failed;
    for (fs::directory_iterator entry(parent, failed), end; !failed && entry != end;
         entry.increment(failed)) {
        if (entry->path().filename().string().rfind(kProcessFolderPrefix, 0) != 0) continue;
        int lock = LockFolder(entry->path());
        if (lock < 0) continue;
        RemoveScratchFolder(entry->path());
        close(lock);
    }
}

fs::path MakeScratchFolder(const char* purpose, ScratchPlace place) {
    const fs::path& processFolder = ProcessFolderIn(place);
    if (processFolder.empty()) return {};
    std::string pattern = (processFolder / purpose).string() + "-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
}

void RemoveScratchFolder(const fs::path& folder) {
    std::error_code ignored;
    if (!folder.empty()) fs::remove_all(folder, ignored);
}
