// A file's bytes through a DocumentClient and the real qv-doc helper, as the content
// match would stream them, and the text that comes back.
#pragma once

#include "platform/DocumentClient.h"

#include <string>
#include <vector>

namespace qv::test {

struct Extraction {
    DocumentVerdict verdict = DocumentVerdict::Unavailable; // what finish() said
    DocumentVerdict textVerdict = DocumentVerdict::Text;   // why the text ended early, if it did
    std::string text;

    std::vector<std::string> lines() const
    {
        std::vector<std::string> out;
        std::size_t start = 0;
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') {
                out.push_back(text.substr(start, i - start));
                start = i + 1;
            }
        if (start < text.size())
            out.push_back(text.substr(start));
        return out;
    }
};

inline Extraction extract(DocumentClient& client, const std::string& bytes, std::size_t piece = 4096)
{
    Extraction e;
    if (!client.begin(documentKindOf(bytes)))
        return e;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        if (!client.feed(bytes.data() + at, std::min(piece, bytes.size() - at)))
            break;
    e.verdict = client.finish(true);
    if (e.verdict != DocumentVerdict::Text)
        return e;
    char buffer[3000]; // odd pieces: the text is served in whatever pieces are asked
    for (;;) {
        const std::int64_t n = client.text().read(buffer, sizeof buffer);
        if (n < 0) {
            e.textVerdict = client.textVerdict();
            break;
        }
        if (n == 0)
            break;
        e.text.append(buffer, static_cast<std::size_t>(n));
    }
    return e;
}

inline Extraction extract(const std::string& bytes, const DocumentLimits& limits = {})
{
    DocumentClient client(QV_DOC_HELPER_PATH);
    client.setLimits(limits);
    return extract(client, bytes);
}

} // namespace qv::test
