#include "platform/ReportFile.h"

#include "resources/StringTable.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

std::string parentFolder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string fileErrorText(int messageId, const std::string& path, const std::string& reason)
{
    std::string text(loadString(messageId));
    if (const std::size_t at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, path);
    if (!reason.empty())
        text += "\n" + reason;
    return text;
}

// Qt's coarse error kinds, for the rare failure that leaves no error number behind.
int errorNumberOf(QFileDevice::FileError error)
{
    switch (error) {
    case QFileDevice::PermissionsError: return EACCES;
    case QFileDevice::ResourceError: return ENOSPC;
    default: return 0;
    }
}

} // namespace

ReportFile::ReportFile(std::string path)
    : m_path(std::move(path))
{
}

ReportFile::~ReportFile() = default; // QSaveFile removes an uncommitted temporary file

int ReportFile::obstacle() const
{
    if (m_path.empty())
        return ENOENT;
    struct stat info {};
    if (stat(m_path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return EISDIR;
        if (access(m_path.c_str(), W_OK) != 0)
            return errno;
        if (!S_ISREG(info.st_mode))
            return 0; // written in place: its folder need not take a new file
    } else if (errno != ENOENT) {
        return errno;
    }
    const std::string folder = parentFolder(m_path);
    if (stat(folder.c_str(), &info) != 0)
        return errno;
    if (!S_ISDIR(info.st_mode))
        return ENOTDIR;
    // The temporary file is made in the target's folder.
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return errno;
    return 0;
}

bool ReportFile::open()
{
    m_error.clear();
    if (const int error = obstacle())
        return fail(error);
    const QString name = QFile::decodeName(QByteArray::fromStdString(m_path));
    struct stat info {};
    m_direct = stat(m_path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
    if (m_direct)
        m_file = std::make_unique<QFile>(name);
    else
        m_file = std::make_unique<QSaveFile>(name);
    errno = 0;
    if (!m_file->open(QIODevice::WriteOnly))
        return failFromDevice();
    return true;
}

bool ReportFile::write(std::string_view bytes)
{
    if (!m_file)
        return false;
    errno = 0;
    const auto size = static_cast<qint64>(bytes.size());
    // Flushed at once, so that a full disk stops the report at the first chunk it refuses.
    if (m_file->write(bytes.data(), size) != size || !m_file->flush())
        return failFromDevice();
    return true;
}

bool ReportFile::commit()
{
    if (!m_file)
        return false;
    errno = 0;
    if (m_direct) {
        if (!m_file->flush())
            return failFromDevice();
        m_file->close();
    } else if (!static_cast<QSaveFile&>(*m_file).commit()) {
        return failFromDevice();
    }
    m_file.reset();
    return true;
}

int ReportFile::messageIdFor(int errorNumber)
{
    switch (errorNumber) {
    case EACCES:
    case EPERM:
    case EROFS:
        return IDS_FILE_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
        return IDS_FILE_DISK_FULL;
    case ETXTBSY:
    case EBUSY:
        return IDS_FILE_SHARING_VIOLATION;
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case EISDIR:
        return IDS_FILE_INVALID_PATH;
    default:
        return IDS_FILE_GENERIC_ERROR;
    }
}

std::string ReportFile::messageFor(int errorNumber, const std::string& path)
{
    return fileErrorText(messageIdFor(errorNumber), path, std::strerror(errorNumber));
}

bool ReportFile::fail(int errorNumber)
{
    m_error = messageFor(errorNumber, m_path);
    return false;
}

bool ReportFile::failFromDevice()
{
    int error = errno;
    if (error == 0 && m_file)
        error = errorNumberOf(m_file->error());
    if (error != 0) {
        fail(error);
    } else {
        const std::string reason = m_file ? m_file->errorString().toStdString() : std::string();
        m_error = fileErrorText(IDS_FILE_GENERIC_ERROR, m_path, reason);
    }
    // Dropping the file removes the temporary one at once; the target is untouched.
    m_file.reset();
    return false;
}

} // namespace qv
