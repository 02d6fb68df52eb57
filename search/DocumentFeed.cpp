#include "search/DocumentFeed.h"

#include "platform/DocumentReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qv {

bool DocumentFeed::readHead()
{
    m_head.resize(kDocumentHeadSize);
    std::size_t got = 0;
    while (got < m_head.size()) {
        const std::int64_t n = m_source.read(m_head.data() + got, m_head.size() - got);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    m_head.resize(got);
    return true;
}

void DocumentFeed::forward(const char* data, std::size_t size)
{
    if (!m_reader || m_readerFailed || m_overLimit || size == 0)
        return;
    if (size > m_reader->fileLimit() - m_forwarded) {
        m_overLimit = true;
        return;
    }
    m_forwarded += size;
    if (!m_reader->feed(data, size))
        m_readerFailed = true;
}

std::int64_t DocumentFeed::read(char* buffer, std::size_t capacity)
{
    std::int64_t n = 0;
    if (m_headPos < m_head.size()) {
        const std::size_t take = std::min(capacity, m_head.size() - m_headPos);
        std::memcpy(buffer, m_head.data() + m_headPos, take);
        m_headPos += take;
        n = static_cast<std::int64_t>(take);
    } else {
        n = m_source.read(buffer, capacity);
        if (n <= 0)
            return n;
    }
    forward(buffer, static_cast<std::size_t>(n));
    return n;
}

bool DocumentFeed::drain()
{
    std::vector<char> buffer(64u << 10);
    while (!m_overLimit && !m_readerFailed) {
        const std::int64_t n = read(buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            break;
    }
    return true;
}

} // namespace qv
