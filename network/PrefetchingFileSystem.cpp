#include "network/PrefetchingFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <utility>

namespace qv {

PrefetchingFileSystem::PrefetchingFileSystem(std::shared_ptr<FileSystem> walkFiles, ListerMaker makeLister,
                                             int helpers, std::size_t mostHeld, Trial trial)
    : m_walkFiles(std::move(walkFiles))
    , m_separator(m_walkFiles->separator())
    , m_makeLister(std::move(makeLister))
    , m_helperCount(m_makeLister ? std::max(0, helpers) : 0)
    , m_mostHeld(std::max<std::size_t>(1, mostHeld))
    , m_trial(trial)
    , m_help(m_trial.listings <= 0 ? Help::Pays : Help::Untried)
{
}

PrefetchingFileSystem::~PrefetchingFileSystem()
{
    bool busy = false;
    {
        // No helper starts once closing is set, so m_aborts stays as it is.
        std::lock_guard lock(m_mutex);
        m_closing = true;
        for (const auto& [path, planned] : m_planned)
            busy = busy || (planned.taken && !planned.done);
    }
    m_changed.notify_all();
    // A helper still in a call lists a folder the walk no longer wants (it stopped or
    // failed): end the call rather than wait out a silent server.
    if (busy)
        for (const auto& abortCall : m_aborts)
            abortCall();
    for (std::thread& helper : m_helpers)
        helper.join();
}

void PrefetchingFileSystem::abort()
{
    std::vector<std::function<void()>> aborts;
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        aborts = m_aborts;
    }
    m_changed.notify_all();
    for (const auto& abortCall : aborts)
        abortCall();
}

std::int64_t PrefetchingFileSystem::listingsTakenFromHelpers() const
{
    std::lock_guard lock(m_mutex);
    return m_takenFromHelpers;
}

std::unique_ptr<FolderListing> PrefetchingFileSystem::list(const std::string& folderPath, int& error)
{
    std::unique_lock lock(m_mutex);
    // A folder nobody planned is the root of a walk. Each root's folders come after
    // those of the roots before it: the shares of a computer are walked in turn.
    Place place{m_rootsListed};
    if (auto it = m_planned.find(folderPath); it != m_planned.end()) {
        place = it->second.place;
        if (it->second.taken) {
            // Found again after each wake-up: other threads add to the map meanwhile.
            m_changed.wait(lock, [&] { return m_closing || m_planned.at(folderPath).done; });
            Planned& planned = m_planned.at(folderPath);
            if (!planned.done) {
                error = ECANCELED; // the search is ending
                return nullptr;
            }
            std::unique_ptr<FolderListing> listing = std::move(planned.listing);
            error = planned.error;
            const std::exception_ptr thrown = planned.thrown;
            m_planned.erase(folderPath);
            --m_held;
            ++m_takenFromHelpers;
            lock.unlock();
            m_changed.notify_all(); // room for one more listing ahead
            if (thrown)
                std::rethrow_exception(thrown); // as if the walk had listed it itself
            return listing;
        }
        m_waiting.erase(place);
        m_planned.erase(it);
    } else {
        ++m_rootsListed;
    }
    lock.unlock();
    std::unique_ptr<FolderListing> listing = m_walkFiles->list(folderPath, error);
    lock.lock();
    countListing();
    planSubFolders(folderPath, place, listing.get());
    return listing;
}

std::unique_ptr<FileReader> PrefetchingFileSystem::openForReading(const std::string& filePath)
{
    return m_walkFiles->openForReading(filePath);
}

std::unique_ptr<FileReader> PrefetchingFileSystem::openEntry(FolderListing& folder, const FileEntry& entry,
                                                             const std::string& filePath)
{
    return m_walkFiles->openEntry(folder, entry, filePath);
}

void PrefetchingFileSystem::planSubFolders(const std::string& folderPath, const Place& place,
                                           FolderListing* listing)
{
    // Planned even without helpers of its own: helpers may be lent.
    if (!listing || m_closing)
        return;
    bool planned = false;
    std::uint32_t index = 0;
    // The same rule the walk goes down by: folders that are no links, in listing order.
    for (const FileEntry& entry : listing->entries()) {
        if (!entry.isFolder || entry.isLink)
            continue;
        Place childPlace = place;
        childPlace.push_back(index++);
        std::string childPath = folderPath;
        childPath += m_separator;
        childPath += entry.name;
        // A name listed twice is planned once; the walk lists the second itself.
        if (m_planned.emplace(childPath, Planned{childPlace, false, false, nullptr, 0}).second) {
            m_waiting.emplace(std::move(childPlace), std::move(childPath));
            planned = true;
        }
    }
    if (!planned)
        return;
    if (!m_started && m_helperCount > 0)
        startHelpers();
    m_changed.notify_all();
}

void PrefetchingFileSystem::startHelpers()
{
    m_started = true;
    for (int i = 0; i < m_helperCount; ++i) {
        Lister lister = m_makeLister();
        if (!lister.files)
            continue;
        if (lister.abort)
            m_aborts.push_back(lister.abort);
        m_helpers.emplace_back(&PrefetchingFileSystem::help, this, std::move(lister));
    }
}

void PrefetchingFileSystem::help(Lister lister)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_closing || (hasFolderToListAhead() && welcomes(lister.files.get())); });
        if (m_closing)
            return;
        listWelcomed(*lister.files, lock);
    }
}

void PrefetchingFileSystem::lend(FileSystem& files, const std::function<bool()>& leave)
{
    std::unique_lock lock(m_mutex);
    while (!m_closing && hasFolderToListAhead() && welcomes(&files) && !leave())
        listWelcomed(files, lock);
    if (m_help == Help::Untried && m_tried == &files) {
        // Left before the trial was over: the next helper lent starts it again.
        m_tried = nullptr;
        m_trialStart = {};
        m_listingsInTrial = 0;
    }
}

bool PrefetchingFileSystem::wantsHelp() const
{
    std::lock_guard lock(m_mutex);
    return !m_closing && hasFolderToListAhead() && welcomes(nullptr);
}

std::optional<bool> PrefetchingFileSystem::helpPays() const
{
    std::lock_guard lock(m_mutex);
    if (m_help == Help::Untried || m_trial.listings <= 0)
        return std::nullopt;
    return m_help == Help::Pays;
}

void PrefetchingFileSystem::settleHelp(bool pays)
{
    {
        std::lock_guard lock(m_mutex);
        m_help = pays ? Help::Pays : Help::DoesNotPay;
    }
    m_changed.notify_all();
}

bool PrefetchingFileSystem::welcomes(const FileSystem* helper) const
{
    switch (m_help) {
    case Help::Pays: return true;
    case Help::DoesNotPay: return false;
    case Help::Untried: break;
    }
    return m_listingsMade >= m_trial.listings && (!m_tried || m_tried == helper);
}

void PrefetchingFileSystem::listWelcomed(FileSystem& helper, std::unique_lock<std::mutex>& lock)
{
    const bool trial = m_help == Help::Untried;
    const bool first = trial && !m_tried;
    if (first)
        m_tried = &helper;
    listOneAhead(helper, lock);
    if (!trial || m_help != Help::Untried || m_tried != &helper)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (first) {
        // Its first listing also made its connection: the trial counts from here.
        m_trialStart = now;
        m_madeBeforeTrial = m_listingsMade;
        m_listingsInTrial = 0;
        m_alonePace = alonePace();
        return;
    }
    if (++m_listingsInTrial >= m_trial.listings && now - m_trialStart >= m_trial.shortest)
        judgeHelp();
}

void PrefetchingFileSystem::countListing()
{
    ++m_listingsMade;
    // The pace of the walk alone, from its latest listings: its first ones also made
    // the connection.
    if (m_help == Help::Untried && !m_tried) {
        m_recentListings.push_back(std::chrono::steady_clock::now());
        if (m_recentListings.size() > kPaceListings)
            m_recentListings.pop_front();
    }
}

double PrefetchingFileSystem::alonePace() const
{
    if (m_recentListings.size() < 2)
        return 0.0;
    const double span = std::chrono::duration<double>(m_recentListings.back() - m_recentListings.front()).count();
    return span > 0 ? static_cast<double>(m_recentListings.size() - 1) / span : 0.0;
}

void PrefetchingFileSystem::judgeHelp()
{
    const double helped = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_trialStart).count();
    const double helpedPace = static_cast<double>(m_listingsMade - m_madeBeforeTrial) / helped;
    const bool pays = helpedPace >= kLeastGain * m_alonePace;
    m_help = pays ? Help::Pays : Help::DoesNotPay;
    m_changed.notify_all(); // the other helpers may list now, or never
}

void PrefetchingFileSystem::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
}

bool PrefetchingFileSystem::hasFolderToListAhead() const
{
    // The soonest folder is left to the walk, which lists it itself once it is done
    // with the listing in hand: a helper that took it would have the walk wait for
    // it, and one helper would then be no faster than none.
    return m_waiting.size() > 1 && m_held < m_mostHeld;
}

void PrefetchingFileSystem::listOneAhead(FileSystem& files, std::unique_lock<std::mutex>& lock)
{
    auto soonest = std::next(m_waiting.begin());
    const Place place = soonest->first;
    const std::string path = std::move(soonest->second);
    m_waiting.erase(soonest);
    m_planned.at(path).taken = true;
    ++m_held;
    lock.unlock();
    int error = 0;
    std::unique_ptr<FolderListing> listing;
    std::exception_ptr thrown;
    try {
        listing = files.list(path, error);
    } catch (const std::exception&) {
        thrown = std::current_exception();
    }
    lock.lock();
    countListing();
    planSubFolders(path, place, listing.get());
    Planned& planned = m_planned.at(path);
    planned.listing = std::move(listing);
    planned.error = error;
    planned.thrown = thrown;
    planned.done = true;
    m_changed.notify_all();
}

} // namespace qv
