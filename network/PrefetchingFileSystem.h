// Folder listings of one share fetched ahead, by helpers of their own, in the order
// the folder walk will ask for them.
#pragma once

#include "platform/FileSystem.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace qv {

// Listing a folder over SMB costs a round trip and the SMB library's own work on every
// call, one call at a time per helper. While the walk tests the entries of one folder,
// reads files or waits on a listing, other helpers list the folders it goes to next.
//
// The walk goes depth first through the sub-folders of each listing in listing order
// (those that are folders and no links); every listing, whoever made it, puts its
// sub-folders into the plan at their depth-first place, so the helpers always take the
// folder the walk reaches soonest. The walk takes a listing made ahead, waits for one
// under way, or lists a folder no helper has taken yet itself. Rows and their order
// are the walk's own: only who makes a listing changes.
class PrefetchingFileSystem final : public FileSystem {
public:
    // A file system with a helper of its own, and what ends its call on a silent server.
    struct Lister {
        std::shared_ptr<FileSystem> files;
        std::function<void()> abort;
    };
    using ListerMaker = std::function<Lister()>;

    // How helpers are put on trial (see lend()); no listings: every helper's help is
    // taken from the start.
    struct Trial {
        std::int64_t listings;
        std::chrono::milliseconds shortest;
    };

    // `helpers` listers, made when the first listing has sub-folders; at most
    // `mostHeld` listings are made ahead and not yet taken.
    PrefetchingFileSystem(std::shared_ptr<FileSystem> walkFiles, ListerMaker makeLister, int helpers,
                          std::size_t mostHeld = kMostHeld, Trial trial = kTrial);
    ~PrefetchingFileSystem() override;
    PrefetchingFileSystem(const PrefetchingFileSystem&) = delete;
    PrefetchingFileSystem& operator=(const PrefetchingFileSystem&) = delete;

    using FileSystem::list;
    std::unique_ptr<FolderListing> list(const std::string& folderPath, int& error) override;
    std::string errorDetail(int error) const override { return m_walkFiles->errorDetail(error); }
    std::unique_ptr<FileReader> openForReading(const std::string& filePath) override;
    std::unique_ptr<FileReader> openEntry(FolderListing& folder, const FileEntry& entry,
                                          const std::string& filePath) override;
    char separator() const override { return m_separator; }

    // Ends the helpers' calls and makes no further listings ahead; runs on the thread
    // that stops the search.
    void abort();

    // A helper lent for a while: lists ahead with `files` on the calling thread for as
    // long as there is a folder to list ahead, it is welcome (below) and `leave` says
    // false (asked before each listing; a listing under way is finished first).
    //
    // Helpers, lent or its own, pay only where the server keeps up with more than one
    // listing at a time: one bound by its cpu lists no faster for them, and each costs
    // it a connection. So one helper is taken first, once the walk has made as many
    // listings alone as the trial's. Once that helper has made as many after its first
    // (which also made its connection), and for at least the trial's shortest time,
    // the listings made per second since that first one (its own and the walk's) are
    // compared with the walk's latest kPaceListings alone before. Short of kLeastGain
    // times as many, they show that help does not pay: that helper stops and no other
    // is taken. Otherwise all are.
    void lend(FileSystem& files, const std::function<bool()>& leave);
    // Whether a lent helper would find a folder to list ahead now, and be welcome.
    bool wantsHelp() const;
    // What a trial found (true: help pays), once one has ended; settleHelp() takes
    // what an earlier walk of the same server found, and spares it the trial.
    std::optional<bool> helpPays() const;
    void settleHelp(bool pays);
    // Long enough for a server held to a share of a cpu by periods of 100 ms.
    static constexpr Trial kTrial{8, std::chrono::milliseconds(500)};
    static constexpr Trial kNoTrial{0, std::chrono::milliseconds(0)};
    static constexpr double kLeastGain = 1.5;
    static constexpr std::size_t kPaceListings = 32;
    // The walk is over: helpers lent leave after the listing in hand.
    void close();

    // Listings the helpers made that the walk took (for tests and the notes).
    std::int64_t listingsTakenFromHelpers() const;

    static constexpr std::size_t kMostHeld = 64;

private:
    // A folder's depth-first place: the number of its walk's root among the roots,
    // then the index of each folder on the way down from that root among its parent's
    // sub-folders.
    using Place = std::vector<std::uint32_t>;
    struct Planned {
        Place place;
        bool taken = false; // a helper lists it
        bool done = false;
        std::unique_ptr<FolderListing> listing;
        int error = 0; // of a listing that failed
        std::exception_ptr thrown; // by the listing, thrown again to the walk
    };

    enum class Help { Untried, Pays, DoesNotPay };

    void planSubFolders(const std::string& folderPath, const Place& place, FolderListing* listing);
    // Need m_mutex held. Whether the helper (null: one not yet lent) may list ahead
    // now: any once help has shown to pay; before that only the one on trial.
    bool welcomes(const FileSystem* helper) const;
    // Lists one folder ahead with a welcome helper, and judges the help at the end of
    // the trial.
    void listWelcomed(FileSystem& helper, std::unique_lock<std::mutex>& lock);
    void judgeHelp();
    void countListing();
    // Listings per second of the walk's latest ones, made alone.
    double alonePace() const;
    void startHelpers();
    void help(Lister lister);
    // Needs m_mutex held: whether a helper may take the soonest folder but one.
    bool hasFolderToListAhead() const;
    // Needs `lock` held: takes that folder, lists it with `files` unlocked, and puts
    // the listing (or its error) in the plan.
    void listOneAhead(FileSystem& files, std::unique_lock<std::mutex>& lock);

    std::shared_ptr<FileSystem> m_walkFiles;
    const char m_separator;
    ListerMaker m_makeLister;
    const int m_helperCount;
    const std::size_t m_mostHeld;
    const Trial m_trial;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unordered_map<std::string, Planned> m_planned; // by folder path
    std::map<Place, std::string> m_waiting;             // not yet taken, soonest first
    std::uint32_t m_rootsListed = 0;
    std::size_t m_held = 0;                             // done or under way, not yet taken by the walk
    bool m_closing = false;
    bool m_started = false;
    std::int64_t m_takenFromHelpers = 0;
    // Whether lent helpers pay: the listings made, when the walk's first began, and
    // when the first lent helper came and how many had been made by then.
    std::int64_t m_listingsMade = 0;
    const FileSystem* m_tried = nullptr; // the helper on trial
    std::int64_t m_listingsInTrial = 0;  // by that helper
    std::deque<std::chrono::steady_clock::time_point> m_recentListings; // ended, before the trial
    double m_alonePace = 0.0; // listings per second before the trial
    std::chrono::steady_clock::time_point m_trialStart{};
    std::int64_t m_madeBeforeTrial = 0;
    Help m_help = Help::Untried;
    std::vector<std::function<void()>> m_aborts;
    std::vector<std::thread> m_helpers;
};

} // namespace qv
