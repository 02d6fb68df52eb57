// Rows and status texts of parts of a walk that run at the same time, handed on to one
// sink in the order a walk of one part after the other would have given them.
#pragma once

#include "results/SearchSink.h"

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

namespace qv {

class OrderedSink final {
public:
    class Part;

    explicit OrderedSink(SearchSink& out) : m_out(out) {}
    ~OrderedSink();
    OrderedSink(const OrderedSink&) = delete;
    OrderedSink& operator=(const OrderedSink&) = delete;

    // A new part after every part opened so far. Its events go on to the sink once
    // every part before it has finished: at once while it is the first unfinished one.
    Part& open();
    // A new part right after `anchor`, which has not finished, and before every part
    // opened after it: for what turns out later to belong in the middle.
    Part& openAfter(Part& anchor);
    // The part gives nothing more; parts after it may now go on.
    void finish(Part& part);

    // A part outside the order for now, for work started before its place is known:
    // what it is given waits until placeAfter() puts it in, or discard() drops it.
    Part& openDetached();
    // Puts a detached part right after `anchor` (which has not finished), where
    // openAfter(anchor) would have opened a new one.
    void placeAfter(Part& anchor, Part& detached);
    // Drops a detached part with what it holds; nothing may give it anything more.
    void discard(Part& detached);

    // A part is a sink of its own, for one thread at a time.
    class Part final : public SearchSink {
    public:
        void addRow(ResultRow row) override;
        void showStatus(const std::string& text) override;
        void placeFailed(const PlaceFailure& failure) override;

    private:
        friend class OrderedSink;
        using Event = std::variant<ResultRow, std::string, PlaceFailure>;
        explicit Part(OrderedSink& owner) : m_owner(owner) {}

        OrderedSink& m_owner;
        std::vector<Event> m_waiting; // guarded by the owner's lock
        bool m_finished = false;
    };

private:
    void add(Part& part, Part::Event event);
    // Hands on what the first parts hold, in order, as far as they have finished.
    void pump();

    SearchSink& m_out;
    std::mutex m_mutex;       // guards the parts and what they hold
    std::mutex m_handingOn;   // one thread at a time talks to the sink, in order
    std::deque<std::unique_ptr<Part>> m_parts;
    std::vector<std::unique_ptr<Part>> m_detached;
};

} // namespace qv
