// The search worker: its run, its end report, pause, stop and an error inside the walk.
#include "search/CQVThread.h"

#include "search/CriteriaReader.h"
#include "search/SearchState.h"
#include "platform/FileTypeInfo.h"
#include "tests/support/FakeFileTypes.h"
#include "tests/support/MemoryFileSystem.h"
#include "tests/support/RecordingSink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <new>

using namespace qv;
using namespace qv::test;
using namespace std::chrono_literals;

namespace {

// A gate the worker's listing waits at until the test opens it.
class Gate {
public:
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_cv.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

class ThrowingFileSystem final : public FileSystem {
public:
    std::unique_ptr<FolderListing> list(const std::string&, int&) override { throw std::bad_alloc(); }
    std::unique_ptr<FileReader> openForReading(const std::string&) override { return nullptr; }
    char separator() const override { return '/'; }
};

// A local folder place over an in-memory tree: /mem with `folders` sub-folders of
// `filesEach` files.
struct WorkerFixture {
    MemoryFileSystem files{'/'};
    FakeFileTypes types;
    RecordingSink sink;
    std::unique_ptr<SearchJob> job;
    std::promise<CQVThread::Outcome> finished;
    std::atomic<int> finishCalls{0};

    explicit WorkerFixture(int folders = 3, int filesEach = 2)
    {
        for (int f = 0; f < folders; ++f)
            for (int i = 0; i < filesEach; ++i) {
                FileEntry e;
                e.name = "f" + std::to_string(f) + "_" + std::to_string(i) + ".txt";
                files.addFile("/mem/d" + std::to_string(f), e, "x");
            }
    }

    // The job walks `local`; `abort` is its stop hook (the SMB abort of the real services).
    std::unique_ptr<CQVThread> makeWorker(FileSystem& local, std::function<void()> abort = {})
    {
        SearchCriteria criteria;
        SearchHistories histories;
        SearchFormValues form;
        form.nameText = "*.txt";
        SearchPlace place;
        place.level = LevelFolder;
        place.placePath = place.walkRoot = "/mem";
        place.local = true;
        CriteriaReader::read(form, place, criteria, histories);
        SearchJob::Services services;
        services.localFiles = std::shared_ptr<FileSystem>(&local, [](FileSystem*) {});
        services.fileTypes = std::shared_ptr<FileTypeInfo>(&types, [](FileTypeInfo*) {});
        services.abort = std::move(abort);
        job = std::make_unique<SearchJob>(criteria, SearchTarget::of(place), std::move(services), sink);
        auto worker = std::make_unique<CQVThread>(*job);
        worker->setOnFinished([this](CQVThread::Outcome outcome) {
            if (++finishCalls == 1)
                finished.set_value(outcome);
        });
        return worker;
    }

    CQVThread::Outcome waitFinished()
    {
        auto future = finished.get_future();
        if (future.wait_for(5s) != std::future_status::ready)
            ADD_FAILURE() << "the worker did not end";
        return future.get();
    }
};

} // namespace

TEST(CQVThread, RunsTheWalkAndEndsWithTheCountOnce)
{
    WorkerFixture fx;
    auto worker = fx.makeWorker(fx.files);
    EXPECT_FALSE(worker->isRunning()) << "running before start";
    worker->start();
    EXPECT_EQ(fx.waitFinished(), CQVThread::Outcome::Completed);
    EXPECT_FALSE(worker->isRunning());
    worker.reset(); // joins
    EXPECT_EQ(fx.finishCalls.load(), 1);
    EXPECT_EQ(fx.sink.rows.count(), 6);
    ASSERT_FALSE(fx.sink.statuses.empty());
    EXPECT_EQ(fx.sink.statuses.back(), "6個見つかりました");
}

TEST(CQVThread, StopBeforeTheWalkWalksNothingAndShowsZero)
{
    WorkerFixture fx;
    auto worker = fx.makeWorker(fx.files);
    worker->requestStop();
    worker->start();
    EXPECT_EQ(fx.waitFinished(), CQVThread::Outcome::Stopped);
    EXPECT_EQ(fx.files.listings.load(), 0);
    EXPECT_EQ(fx.sink.rows.count(), 0);
    ASSERT_EQ(fx.sink.statuses.size(), 1u);
    EXPECT_EQ(fx.sink.statuses.back(), "0個見つかりました");
}

TEST(CQVThread, PauseHoldsAtAStepAndResumeFinishes)
{
    WorkerFixture fx(4, 3);
    Gate entered, paused;
    std::atomic<int> listed{0};
    fx.files.onList = [&](const std::string&) {
        if (++listed == 1) {
            entered.open();
            paused.wait(); // the first listing waits until the test has paused the worker
        }
    };
    auto worker = fx.makeWorker(fx.files);
    worker->start();
    entered.wait();
    worker->pause();
    EXPECT_TRUE(worker->isPaused());
    paused.open();
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(listed.load(), 1) << "a paused worker went on listing";
    EXPECT_TRUE(worker->isRunning());
    worker->resume();
    EXPECT_EQ(fx.waitFinished(), CQVThread::Outcome::Completed);
    EXPECT_EQ(fx.sink.rows.count(), 12);
    EXPECT_EQ(listed.load(), 5);
}

TEST(CQVThread, StopWhilePausedLetsTheWorkerEnd)
{
    WorkerFixture fx(4, 3);
    Gate entered, paused;
    std::atomic<int> listed{0};
    std::atomic<int> stopHooks{0};
    fx.files.onList = [&](const std::string&) {
        if (++listed == 1) {
            entered.open();
            paused.wait();
        }
    };
    auto worker = fx.makeWorker(fx.files, [&] { ++stopHooks; });
    worker->start();
    entered.wait();
    worker->pause();
    paused.open();
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(worker->isRunning());
    worker->requestStop();
    EXPECT_EQ(fx.waitFinished(), CQVThread::Outcome::Stopped);
    EXPECT_EQ(stopHooks.load(), 1) << "the stop hook (SMB abort) was not called";
    EXPECT_EQ(listed.load(), 1);
    EXPECT_EQ(fx.sink.statuses.back(), "0個見つかりました");
}

TEST(CQVThread, ErrorInsideTheWalkEndsWithoutTheCount)
{
    WorkerFixture fx;
    ThrowingFileSystem throwing;
    auto worker = fx.makeWorker(throwing);
    worker->start();
    EXPECT_EQ(fx.waitFinished(), CQVThread::Outcome::Failed);
    // The error was swallowed whole; now the job says which, for the user.
    EXPECT_EQ(fx.job->errorText(), "std::bad_alloc");
    worker.reset();
    EXPECT_EQ(fx.finishCalls.load(), 1);
    for (const std::string& text : fx.sink.statuses)
        EXPECT_EQ(text.find("個見つかりました"), std::string::npos) << "count text after an error: " << text;
}

TEST(CQVThread, ReleasingAPausedWorkerStopsAndJoinsIt)
{
    WorkerFixture fx(4, 3);
    Gate entered, paused;
    std::atomic<int> listed{0};
    fx.files.onList = [&](const std::string&) {
        if (++listed == 1) {
            entered.open();
            paused.wait();
        }
    };
    auto worker = fx.makeWorker(fx.files);
    worker->start();
    entered.wait();
    worker->pause();
    paused.open();
    auto release = std::async(std::launch::async, [&] { worker.reset(); });
    ASSERT_EQ(release.wait_for(5s), std::future_status::ready) << "destroying a paused worker hangs";
    EXPECT_EQ(fx.finishCalls.load(), 1);
}
