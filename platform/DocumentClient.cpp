#include "platform/DocumentClient.h"

#include "platform/HelperProcess.h"
#include "platform/PipeFrame.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qv {
namespace {

using Clock = std::chrono::steady_clock;

// Starting the helper and saying hello; also the wait for a helper to read the bytes
// it is sent, which it does as fast as it can write them to its spool.
constexpr auto kStartTime = std::chrono::seconds(5);
constexpr auto kGracefulExit = std::chrono::milliseconds(1000);
// The text is asked for in pieces of this size: a match early in a large document
// ends its work soon.
constexpr std::uint32_t kTextPiece = 256u << 10;

void setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace

DocumentClient::DocumentClient() : DocumentClient(findHelper()) {}

DocumentClient::DocumentClient(std::string helperPath) : m_helperPath(std::move(helperPath)) {}

DocumentClient::~DocumentClient() { discardHelper(true); }

std::string DocumentClient::findHelper() { return HelperProcess::find("QV_DOC_HELPER", "qv-doc"); }

void DocumentClient::discardHelper(bool graceful)
{
    if (m_toHelper >= 0) {
        close(m_toHelper); // end of input: a healthy helper ends by itself
        m_toHelper = -1;
    }
    if (m_pid > 0 && graceful) {
        const auto deadline = Clock::now() + kGracefulExit;
        while (Clock::now() < deadline) {
            int status = 0;
            const pid_t rc = waitpid(m_pid, &status, WNOHANG);
            if (rc == m_pid || (rc < 0 && errno == ECHILD)) {
                m_pid = 0;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        int status = 0;
        while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = 0;
    }
    if (m_fromHelper >= 0) {
        close(m_fromHelper);
        m_fromHelper = -1;
    }
}

int DocumentClient::ensureHelper()
{
    if (m_pid > 0) {
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == 0)
            return 0;
        m_pid = 0; // died since the last file
        discardHelper(false);
    }
    HelperProcess::Pipes pipes;
    if (const int rc = HelperProcess::spawn(m_helperPath, pipes))
        return rc;
    m_toHelper = pipes.toHelper;
    m_fromHelper = pipes.fromHelper;
    m_pid = pipes.pid;
    setNonBlocking(m_toHelper);
    setNonBlocking(m_fromHelper);
    DocRequest hello;
    hello.kind = DocMessageKind::Hello;
    hello.version = DocumentProtocol::kVersion;
    const auto deadline = Clock::now() + kStartTime;
    DocReply reply;
    int rc = send(hello, deadline);
    if (rc == 0)
        rc = receive(reply, DocMessageKind::Hello, deadline);
    if (rc == 0 && reply.version != DocumentProtocol::kVersion)
        rc = EPROTONOSUPPORT;
    if (rc != 0)
        discardHelper(false);
    return rc;
}

int DocumentClient::send(const DocRequest& request, Clock::time_point deadline)
{
    if (m_toHelper < 0)
        return EPIPE;
    const std::string frame = DocumentProtocol::encode(request);
    return HelperProcess::withoutSigpipe(
        [&] { return PipeFrame::writeAllBefore(m_toHelper, frame, deadline, m_cancelled); });
}

int DocumentClient::receive(DocReply& reply, DocMessageKind kind, Clock::time_point deadline)
{
    std::string message;
    if (const int rc = PipeFrame::readBefore(m_fromHelper, message, DocumentProtocol::kMaxMessage, deadline, m_cancelled))
        return rc == EMSGSIZE ? EPROTO : rc;
    if (!DocumentProtocol::decode(message, reply) || reply.kind != kind)
        return EPROTO;
    return 0;
}

int DocumentClient::exchange(const DocRequest& request, DocReply& reply)
{
    const auto limit = std::chrono::milliseconds(m_limits.milliseconds) + kGrace;
    const auto left = m_waited < limit ? limit - m_waited : Clock::duration::zero();
    const auto start = Clock::now();
    const auto deadline = start + left;
    int rc = send(request, deadline);
    if (rc == 0)
        rc = receive(reply, request.kind, deadline);
    m_waited += Clock::now() - start;
    return rc;
}

DocumentVerdict DocumentClient::failed(int error)
{
    // Whatever the helper was doing, it is not to be trusted with the next file.
    discardHelper(false);
    m_state = State::Failed;
    switch (error) {
    case ECANCELED: return DocumentVerdict::Cancelled;
    case ETIMEDOUT: return DocumentVerdict::OverLimit;
    default: return DocumentVerdict::Damaged; // it died on this file, or answered garbage
    }
}

bool DocumentClient::begin(DocumentKind kind)
{
    m_state = State::Idle;
    m_waited = Clock::duration::zero();
    m_text.clear();
    m_textPos = 0;
    m_textEnded = false;
    m_textVerdict = DocumentVerdict::Text;
    if (ensureHelper() != 0)
        return false;
    DocRequest request;
    request.kind = DocMessageKind::Begin;
    request.document = kind;
    request.limits = m_limits;
    if (send(request, Clock::now() + kStartTime) != 0) {
        discardHelper(false);
        return false;
    }
    m_state = State::Feeding;
    return true;
}

bool DocumentClient::feed(const char* data, std::size_t size)
{
    if (m_state != State::Feeding)
        return false;
    DocRequest request;
    request.kind = DocMessageKind::Data;
    while (size > 0) {
        const std::size_t n = std::min<std::size_t>(size, DocumentProtocol::kMaxPiece);
        request.data.assign(data, n);
        if (const int rc = send(request, Clock::now() + kStartTime)) {
            m_textVerdict = failed(rc);
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

DocumentVerdict DocumentClient::finish(bool complete)
{
    if (m_state == State::Failed)
        return m_textVerdict;
    if (m_state != State::Feeding)
        return DocumentVerdict::Unavailable;
    DocRequest request;
    request.kind = DocMessageKind::End;
    request.complete = complete;
    DocReply reply;
    if (const int rc = exchange(request, reply))
        return m_textVerdict = failed(rc);
    m_state = reply.verdict == DocumentVerdict::Text ? State::Text : State::Idle;
    return reply.verdict;
}

std::int64_t DocumentClient::readText(char* buffer, std::size_t capacity)
{
    if (capacity == 0)
        return 0;
    if (m_textPos >= m_text.size()) {
        if (m_textEnded)
            return 0;
        if (m_state != State::Text)
            return -1;
        DocRequest request;
        request.kind = DocMessageKind::NextText;
        request.most = std::max<std::uint32_t>(kTextPiece, static_cast<std::uint32_t>(std::min<std::size_t>(
                                                                capacity, DocumentProtocol::kMaxPiece)));
        DocReply reply;
        if (const int rc = exchange(request, reply)) {
            m_textVerdict = failed(rc);
            return -1;
        }
        if (reply.verdict != DocumentVerdict::Text) {
            m_textVerdict = reply.verdict;
            m_state = State::Idle;
            return -1;
        }
        m_text = std::move(reply.text);
        m_textPos = 0;
        if (m_text.empty()) {
            m_textEnded = true;
            m_state = State::Idle;
            return 0;
        }
    }
    const std::size_t n = std::min(capacity, m_text.size() - m_textPos);
    std::memcpy(buffer, m_text.data() + m_textPos, n);
    m_textPos += n;
    return static_cast<std::int64_t>(n);
}

} // namespace qv
