// A file system for the form's tests: an in-memory tree whose listings take time
// and can be held at a gate, so that a search stays in a state long enough to look at.
#pragma once

#include "tests/support/MemoryFileSystem.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qv::test {

class SlowFileSystem final : public FileSystem {
public:
    // /mem with `folders` sub-folders d0, d1, ... of `filesEach` files f<i>.txt each.
    SlowFileSystem(int folders, int filesEach, int listingDelayMs) : m_delayMs(listingDelayMs)
    {
        for (int f = 0; f < folders; ++f)
            for (int i = 0; i < filesEach; ++i) {
                FileEntry e;
                e.name = "f" + std::to_string(f) + "_" + std::to_string(i) + ".txt";
                e.written = e.created = e.accessed = 0;
                m_files.addFile("/mem/d" + std::to_string(f), e, "x");
            }
    }

    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string& folderPath, int& error) override
    {
        ++m_entered;
        {
            std::unique_lock lock(m_mutex);
            m_cv.wait(lock, [this] { return !m_closed; });
        }
        if (m_delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_delayMs));
        auto listing = m_files.list(folderPath, error);
        ++m_listed;
        return listing;
    }
    std::unique_ptr<FileReader> openForReading(const std::string& path) override { return m_files.openForReading(path); }
    char separator() const override { return '/'; }

    // Listings wait while the gate is closed.
    void closeGate()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }
    void openGate()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closed = false;
        }
        m_cv.notify_all();
    }

    int entered() const { return m_entered.load(); } // listings begun
    int listed() const { return m_listed.load(); }   // listings done

private:
    MemoryFileSystem m_files{'/'};
    const int m_delayMs;
    std::atomic<int> m_entered{0};
    std::atomic<int> m_listed{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_closed = false;
};

} // namespace qv::test
