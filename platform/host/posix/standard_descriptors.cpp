#include "platform/host/posix/standard_descriptors.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace qoz::host {

bool OpenStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        // The lowest free number is this one: the lower ones are open.
        int opened = open("/dev/null", O_RDWR | O_NOCTTY);
        if (opened != fd) {
            if (opened >= 0) close(opened);
            return false;
        }
    }
    return true;
}

}  // namespace qoz::host
