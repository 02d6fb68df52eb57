#include "platform/CacheFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

CacheFile::Fields splitTabs(const std::string& line)
{
    CacheFile::Fields fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool fitsOneLine(const CacheFile::Fields& fields)
{
    for (const std::string& field : fields)
        if (field.find_first_of("\t\r\n") != std::string::npos)
            return false;
    return true;
}

} // namespace

std::string CacheFile::defaultPath(const std::string& name)
{
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/quendle/" + name;
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.cache/quendle/" + name;
    return {};
}

CacheFile::CacheFile(std::string path, std::string header) : m_path(std::move(path)), m_header(std::move(header)) {}

bool CacheFile::isCleanField(const std::string& text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\' || c == '/')
            return false;
    }
    return text.size() <= 255;
}

std::vector<CacheFile::Fields> CacheFile::read(std::size_t fieldCount, std::size_t mostLines) const
{
    std::vector<Fields> lines;
    if (m_path.empty())
        return lines;
    std::ifstream in(m_path);
    std::string line;
    if (!std::getline(in, line) || line != m_header)
        return lines;
    while (lines.size() < mostLines && std::getline(in, line)) {
        Fields fields = splitTabs(line);
        if (fields.size() == fieldCount)
            lines.push_back(std::move(fields));
    }
    return lines;
}

bool CacheFile::replace(const std::vector<Fields>& lines) const
{
    if (m_path.empty() || !makeFolders(m_path))
        return false;
    for (const Fields& fields : lines)
        if (!fitsOneLine(fields))
            return false;
    const std::string temporary = m_path + ".tmp" + std::to_string(getpid());
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << m_header << '\n';
        for (const Fields& fields : lines) {
            for (std::size_t i = 0; i < fields.size(); ++i)
                out << (i ? "\t" : "") << fields[i];
            out << '\n';
        }
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), m_path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace qv
