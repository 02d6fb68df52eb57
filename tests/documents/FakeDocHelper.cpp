// A helper that speaks qv-doc's protocol and misbehaves as QV_FAKE_DOC says, for the
// client's tests: "hang" never answers End, "crash" dies on End, "garbage" answers
// End with bytes no reply has, "slow-text" answers End and then never the text,
// "wrong-version" says hello with another version. Otherwise it hands back the
// file's bytes as its text.
#include "platform/DocumentProtocol.h"
#include "platform/PipeFrame.h"

#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>

using namespace qv;

int main()
{
    std::signal(SIGPIPE, SIG_IGN);
    const char* mode = std::getenv("QV_FAKE_DOC");
    const std::string how = mode ? mode : "";
    std::string file;
    std::string message;
    while (PipeFrame::read(STDIN_FILENO, message, DocumentProtocol::kMaxMessage) == 0) {
        DocRequest request;
        if (!DocumentProtocol::decode(message, request))
            return 1;
        DocReply reply;
        reply.kind = request.kind;
        switch (request.kind) {
        case DocMessageKind::Hello:
            reply.version = how == "wrong-version" ? DocumentProtocol::kVersion + 1 : DocumentProtocol::kVersion;
            break;
        case DocMessageKind::Begin:
            file.clear();
            continue;
        case DocMessageKind::Data:
            file += request.data;
            continue;
        case DocMessageKind::End:
            if (how == "hang")
                pause();
            if (how == "crash")
                std::abort();
            if (how == "garbage") {
                PipeFrame::writeAll(STDOUT_FILENO, std::string("\x05\x00\x00\x00\x04\xff\xff\xff\xff", 9));
                continue;
            }
            reply.verdict = DocumentVerdict::Text;
            break;
        case DocMessageKind::NextText:
            if (how == "slow-text")
                pause();
            reply.text = file.substr(0, request.most);
            file.erase(0, reply.text.size());
            break;
        }
        if (PipeFrame::writeAll(STDOUT_FILENO, DocumentProtocol::encode(reply)) != 0)
            return 1;
    }
    return 0;
}
