// A zip archive in the helper's spool file, read through libzip: entries found by
// name (ASCII case ignored, as package part names compare) and read piece by piece,
// every decompressed byte counted against the budget.
#pragma once

#include "platform/DocumentReader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct zip;
struct zip_file;

namespace qv {

class WorkBudget;

class ZipArchive final {
public:
    // Opens the archive on a duplicate of fd; nothing when it is no zip libzip can read
    // (a truncated file has no central directory).
    static std::unique_ptr<ZipArchive> open(int fd);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    std::uint64_t entryCount() const;
    std::optional<std::uint64_t> find(const std::string& name) const;
    std::string name(std::uint64_t index) const;

    // One entry being read.
    class Entry final {
    public:
        ~Entry();
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;
        // Bytes read into the buffer, 0 at the end; -1 with the verdict set when the
        // entry is damaged or the budget is spent.
        std::int64_t read(char* buffer, std::size_t capacity, WorkBudget& budget, DocumentVerdict& verdict);

    private:
        friend class ZipArchive;
        explicit Entry(zip_file* file) : m_file(file) {}
        zip_file* m_file;
    };
    // Nothing, with the verdict set (Encrypted or Damaged), when the entry cannot be read.
    std::unique_ptr<Entry> openEntry(std::uint64_t index, DocumentVerdict& verdict);

    // The whole of a small entry, at most `most` bytes (OverLimit beyond).
    std::optional<std::string> readAll(std::uint64_t index, std::size_t most, WorkBudget& budget,
                                       DocumentVerdict& verdict);

private:
    explicit ZipArchive(zip* archive) : m_zip(archive) {}
    zip* m_zip;
};

} // namespace qv
