#include "platform/host/posix/trusted_program.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/host/posix/private_folder.h"

namespace qoz::host {

CheckedProgram CheckTrustedProgram(const std::string& path) {
    CheckedProgram program;
    program.path = RealPath(path);
    if (program.path.empty()) {
        program.problem = std::strerror(errno);
        return program;
    }
    struct stat status {};
    struct stat self {};
    if (stat(program.path.c_str(), &status) != 0) {
        program.problem = std::strerror(errno);
    } else if (!S_ISREG(status.st_mode)) {
        program.problem = "it is not a regular file";
    } else if (stat("/proc/self/exe", &self) == 0 && self.st_dev == status.st_dev &&
               self.st_ino == status.st_ino) {
        program.problem = "it is this program itself";
    } else if (status.st_uid != 0 && status.st_uid != geteuid()) {
        program.problem = "it belongs to user " + std::to_string(status.st_uid);
    } else if ((status.st_mode & 022) != 0) {
        program.problem = "others may change it";
    } else {
        program.problem = FoldersAboveProblem(program.path);
    }
    return program;
}

}  // namespace qoz::host
