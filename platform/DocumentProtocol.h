// The messages between DocumentClient and the qv-doc helper process, framed as the
// SMB helper's are (PipeFrame): a file's bytes go to the helper in Data messages
// that have no reply, then End asks what the file is and NextText takes its text a
// piece at a time, so that the helper never runs ahead of the search.
#pragma once

#include "platform/DocumentKind.h"
#include "platform/DocumentLimits.h"
#include "platform/DocumentReader.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

enum class DocMessageKind : std::uint8_t {
    Hello = 1, // version -> version
    Begin,     // document kind, limits -> (no reply)
    Data,      // bytes of the file -> (no reply)
    End,       // complete: the file was fed to its end -> verdict
    NextText,  // most bytes -> verdict, text (empty at the end of the text)
};

struct DocRequest {
    DocMessageKind kind = DocMessageKind::Hello;
    std::uint32_t version = 0;
    DocumentKind document = DocumentKind::None;
    DocumentLimits limits;
    bool complete = true;
    std::uint32_t most = 0;
    std::string data;

    friend bool operator==(const DocRequest&, const DocRequest&) = default;
};

struct DocReply {
    DocMessageKind kind = DocMessageKind::Hello;
    std::uint32_t version = 0;
    DocumentVerdict verdict = DocumentVerdict::Text;
    std::string text;

    friend bool operator==(const DocReply&, const DocReply&) = default;
};

class DocumentProtocol final {
public:
    static constexpr std::uint32_t kVersion = 1;
    // A piece of text or of the file is at most this large, and so, nearly, is a message.
    static constexpr std::uint32_t kMaxPiece = 1u << 20;
    static constexpr std::uint32_t kMaxMessage = kMaxPiece + 64;

    // Whole frames, length prefix included.
    static std::string encode(const DocRequest& request);
    static std::string encode(const DocReply& reply);

    // A message without its prefix; false when it is cut short, has bytes left over
    // or holds values no message has.
    static bool decode(std::string_view message, DocRequest& request);
    static bool decode(std::string_view message, DocReply& reply);
};

} // namespace qv
