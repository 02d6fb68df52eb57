#include "network/OrderedSink.h"

#include <algorithm>

namespace qv {

OrderedSink::~OrderedSink() = default;

OrderedSink::Part& OrderedSink::open()
{
    std::lock_guard lock(m_mutex);
    m_parts.push_back(std::unique_ptr<Part>(new Part(*this)));
    return *m_parts.back();
}

OrderedSink::Part& OrderedSink::openAfter(Part& anchor)
{
    std::lock_guard lock(m_mutex);
    auto place = std::find_if(m_parts.begin(), m_parts.end(), [&](const auto& part) { return part.get() == &anchor; });
    if (place != m_parts.end())
        ++place;
    return **m_parts.insert(place, std::unique_ptr<Part>(new Part(*this)));
}

OrderedSink::Part& OrderedSink::openDetached()
{
    std::lock_guard lock(m_mutex);
    m_detached.push_back(std::unique_ptr<Part>(new Part(*this)));
    return *m_detached.back();
}

void OrderedSink::placeAfter(Part& anchor, Part& detached)
{
    {
        std::lock_guard lock(m_mutex);
        auto found = std::find_if(m_detached.begin(), m_detached.end(),
                                  [&](const auto& part) { return part.get() == &detached; });
        if (found == m_detached.end())
            return;
        std::unique_ptr<Part> moved = std::move(*found);
        m_detached.erase(found);
        auto place = std::find_if(m_parts.begin(), m_parts.end(), [&](const auto& part) { return part.get() == &anchor; });
        if (place != m_parts.end())
            ++place;
        m_parts.insert(place, std::move(moved));
    }
    pump();
}

void OrderedSink::discard(Part& detached)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_detached, [&](const auto& part) { return part.get() == &detached; });
}

void OrderedSink::finish(Part& part)
{
    {
        std::lock_guard lock(m_mutex);
        part.m_finished = true;
    }
    pump();
}

void OrderedSink::Part::addRow(ResultRow row) { m_owner.add(*this, std::move(row)); }

void OrderedSink::Part::showStatus(const std::string& text) { m_owner.add(*this, text); }

void OrderedSink::Part::placeFailed(const PlaceFailure& failure) { m_owner.add(*this, failure); }

void OrderedSink::add(Part& part, Part::Event event)
{
    {
        std::lock_guard lock(m_mutex);
        // A part that waits keeps its rows but only its latest text: texts replace each
        // other in the status bar, and a long wait must not pile them up.
        const bool isText = std::holds_alternative<std::string>(event);
        if (isText && !part.m_waiting.empty() && std::holds_alternative<std::string>(part.m_waiting.back()) &&
            (m_parts.empty() || m_parts.front().get() != &part))
            part.m_waiting.back() = std::move(event);
        else
            part.m_waiting.push_back(std::move(event));
    }
    pump();
}

void OrderedSink::pump()
{
    std::lock_guard handingOn(m_handingOn);
    for (;;) {
        std::vector<Part::Event> events;
        {
            std::lock_guard lock(m_mutex);
            while (!m_parts.empty() && m_parts.front()->m_finished && m_parts.front()->m_waiting.empty())
                m_parts.pop_front();
            if (m_parts.empty() || m_parts.front()->m_waiting.empty())
                return;
            events.swap(m_parts.front()->m_waiting);
        }
        // The sink may wait for room (the window's queue): no lock of the parts is held.
        for (Part::Event& event : events) {
            if (auto* row = std::get_if<ResultRow>(&event))
                m_out.addRow(std::move(*row));
            else if (auto* text = std::get_if<std::string>(&event))
                m_out.showStatus(*text);
            else
                m_out.placeFailed(std::get<PlaceFailure>(event));
        }
    }
}

} // namespace qv
