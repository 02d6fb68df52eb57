// The copy reads the share's file in the helper's large chunks and writes them as
// they come, so a big file never sits in memory.
#include "platform/SmbFileCopier.h"

#include "platform/SmbClient.h"
#include "platform/SmbUrl.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace qv {
namespace {

bool writeAll(int fd, const char* data, std::int64_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<std::size_t>(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

int SmbFileCopier::copy(const std::string& networkName, const std::string& localPath)
{
    const auto place = SmbUrl::fromNetworkName(networkName);
    if (!place || place->level() != SmbUrl::Level::Folder)
        return EINVAL;
    int handle = 0;
    if (const int rc = m_client.openFile(place->url(), handle))
        return rc;

    int error = 0;
    const int fd = ::open(localPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
    } else {
        std::vector<char> buffer(256 * 1024);
        for (;;) {
            const std::int64_t n = m_client.read(handle, buffer.data(), buffer.size());
            if (n == 0)
                break;
            if (n < 0) {
                error = EIO;
                break;
            }
            if (!writeAll(fd, buffer.data(), n)) {
                error = errno;
                break;
            }
        }
        if (::close(fd) != 0 && error == 0)
            error = errno;
        if (error != 0)
            ::unlink(localPath.c_str());
    }
    m_client.closeFile(handle);
    return error;
}

} // namespace qv
