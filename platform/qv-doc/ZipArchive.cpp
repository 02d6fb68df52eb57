#include "platform/qv-doc/ZipArchive.h"

#include "platform/qv-doc/WorkBudget.h"

#include <unistd.h>
#include <zip.h>

namespace qv {

std::unique_ptr<ZipArchive> ZipArchive::open(int fd)
{
    const int copy = dup(fd);
    if (copy < 0)
        return nullptr;
    int error = 0;
    // libzip owns the copy from here on success, and closes it with the archive.
    zip_t* archive = zip_fdopen(copy, ZIP_RDONLY, &error);
    if (!archive) {
        close(copy);
        return nullptr;
    }
    return std::unique_ptr<ZipArchive>(new ZipArchive(archive));
}

ZipArchive::~ZipArchive() { zip_discard(m_zip); }

std::uint64_t ZipArchive::entryCount() const
{
    const zip_int64_t n = zip_get_num_entries(m_zip, 0);
    return n > 0 ? static_cast<std::uint64_t>(n) : 0;
}

std::optional<std::uint64_t> ZipArchive::find(const std::string& name) const
{
    const zip_int64_t index = zip_name_locate(m_zip, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(index);
}

std::string ZipArchive::name(std::uint64_t index) const
{
    const char* n = zip_get_name(m_zip, index, 0);
    return n ? n : "";
}

std::unique_ptr<ZipArchive::Entry> ZipArchive::openEntry(std::uint64_t index, DocumentVerdict& verdict)
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, index, 0, &st) == 0 && (st.valid & ZIP_STAT_ENCRYPTION_METHOD)
        && st.encryption_method != ZIP_EM_NONE) {
        verdict = DocumentVerdict::Encrypted;
        return nullptr;
    }
    zip_file_t* file = zip_fopen_index(m_zip, index, 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(m_zip));
        verdict = code == ZIP_ER_NOPASSWD || code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_WRONGPASSWD
            ? DocumentVerdict::Encrypted
            : DocumentVerdict::Damaged;
        return nullptr;
    }
    return std::unique_ptr<Entry>(new Entry(file));
}

ZipArchive::Entry::~Entry() { zip_fclose(m_file); }

std::int64_t ZipArchive::Entry::read(char* buffer, std::size_t capacity, WorkBudget& budget, DocumentVerdict& verdict)
{
    const zip_int64_t n = zip_fread(m_file, buffer, capacity);
    if (n < 0) {
        // A damaged stream or a CRC that does not match what was read.
        verdict = DocumentVerdict::Damaged;
        return -1;
    }
    if (!budget.takeDecompressed(static_cast<std::uint64_t>(n))) {
        verdict = DocumentVerdict::OverLimit;
        return -1;
    }
    return n;
}

std::optional<std::string> ZipArchive::readAll(std::uint64_t index, std::size_t most, WorkBudget& budget,
                                               DocumentVerdict& verdict)
{
    const std::unique_ptr<Entry> entry = openEntry(index, verdict);
    if (!entry)
        return std::nullopt;
    std::string bytes;
    char buffer[16384];
    for (;;) {
        const std::int64_t n = entry->read(buffer, sizeof buffer, budget, verdict);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return bytes;
        if (bytes.size() + static_cast<std::size_t>(n) > most) {
            verdict = DocumentVerdict::OverLimit;
            return std::nullopt;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

} // namespace qv
