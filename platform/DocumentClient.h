// The client side of one qv-doc helper process: starts it when the first document
// comes, streams each file's bytes to it, takes the text back a piece at a time, and
// kills it when it overruns the time limit, dies or the search is stopped; the next
// document starts a new one.
#pragma once

#include "platform/DocumentLimits.h"
#include "platform/DocumentProtocol.h"
#include "platform/DocumentReader.h"

#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>

namespace qv {

class DocumentClient final : public DocumentReader {
public:
    // The helper is looked up as findHelper() says.
    DocumentClient();
    explicit DocumentClient(std::string helperPath);
    // Closes the helper's input, gives it a moment to end, kills it if it does not.
    ~DocumentClient() override;
    DocumentClient(const DocumentClient&) = delete;
    DocumentClient& operator=(const DocumentClient&) = delete;

    void setLimits(const DocumentLimits& limits) { m_limits = limits; }
    const DocumentLimits& limits() const { return m_limits; }
    // Asked every few tens of milliseconds while the client waits for the helper: true
    // kills the helper and makes the file Cancelled (the search was stopped).
    void setCancel(std::function<bool()> cancelled) { m_cancelled = std::move(cancelled); }

    bool begin(DocumentKind kind) override;
    bool feed(const char* data, std::size_t size) override;
    DocumentVerdict finish(bool complete) override;
    FileReader& text() override { return m_textReader; }
    DocumentVerdict textVerdict() const override { return m_textVerdict; }
    std::uint64_t fileLimit() const override { return m_limits.fileBytes; }

    // QV_DOC_HELPER when set; otherwise qv-doc where the SMB helper would be found.
    static std::string findHelper();
    const std::string& helperPath() const { return m_helperPath; }
    // The running helper's process id, 0 when none runs (for tests).
    pid_t helperPid() const { return m_pid; }

    // A helper whose reply takes this much longer than the time limit is killed: the
    // limit is the helper's own to keep, this is for one that cannot.
    static constexpr std::chrono::milliseconds kGrace{1500};

private:
    class TextReader final : public FileReader {
    public:
        explicit TextReader(DocumentClient& client) : m_client(client) {}
        std::int64_t read(char* buffer, std::size_t capacity) override { return m_client.readText(buffer, capacity); }

    private:
        DocumentClient& m_client;
    };
    enum class State { Idle, Feeding, Text, Failed };

    std::int64_t readText(char* buffer, std::size_t capacity);
    int ensureHelper();
    int send(const DocRequest& request, std::chrono::steady_clock::time_point deadline);
    int receive(DocReply& reply, DocMessageKind kind, std::chrono::steady_clock::time_point deadline);
    // One request and its reply, within what is left of the file's time; the time spent
    // waiting is added to the file's.
    int exchange(const DocRequest& request, DocReply& reply);
    // What a failed exchange makes of the file; the helper is gone after it.
    DocumentVerdict failed(int error);
    void discardHelper(bool graceful);

    const std::string m_helperPath;
    DocumentLimits m_limits;
    std::function<bool()> m_cancelled;
    int m_toHelper = -1;
    int m_fromHelper = -1;
    pid_t m_pid = 0;
    State m_state = State::Idle;
    std::chrono::steady_clock::duration m_waited{}; // on this file's replies
    std::string m_text;                             // the last piece, served from m_textPos
    std::size_t m_textPos = 0;
    bool m_textEnded = false;
    DocumentVerdict m_textVerdict = DocumentVerdict::Text;
    TextReader m_textReader{*this};
};

} // namespace qv
