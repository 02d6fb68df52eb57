#include "platform/qv-doc/DocumentServer.h"

#include "platform/PipeFrame.h"
#include "platform/qv-doc/PackageText.h"
#include "platform/qv-doc/PdfText.h"
#include "platform/qv-doc/ZipArchive.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace qv {
namespace {

constexpr std::uint32_t kSmallestPiece = 16u << 10;

std::string spoolFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

} // namespace

DocumentServer::DocumentServer(int in, int out) : m_in(in), m_out(out) {}

DocumentServer::~DocumentServer()
{
    m_text.reset();
    if (m_spool >= 0)
        close(m_spool);
}

// One file nobody else can open: unnamed from the start where the file system
// allows it, else removed at once.
bool DocumentServer::openSpool()
{
    if (m_spool >= 0)
        return true;
    const std::string folder = spoolFolder();
    m_spool = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (m_spool < 0) {
        std::string name = folder + "/qv-doc-XXXXXX";
        m_spool = mkostemp(name.data(), O_CLOEXEC);
        if (m_spool >= 0)
            unlink(name.c_str());
    }
    return m_spool >= 0;
}

int DocumentServer::run()
{
    std::string message;
    for (;;) {
        const int rc = PipeFrame::read(m_in, message, DocumentProtocol::kMaxMessage);
        if (rc == EPIPE)
            return 0; // the client closed its end: done
        if (rc != 0)
            return 1;
        DocRequest request;
        if (!DocumentProtocol::decode(message, request))
            return 1;
        switch (request.kind) {
        case DocMessageKind::Hello: {
            DocReply hello;
            hello.kind = DocMessageKind::Hello;
            hello.version = DocumentProtocol::kVersion;
            if (!reply(hello) || request.version != DocumentProtocol::kVersion)
                return 1;
            break;
        }
        case DocMessageKind::Begin:
            begin(request);
            break;
        case DocMessageKind::Data:
            take(request.data);
            break;
        case DocMessageKind::End: {
            DocReply r;
            r.kind = DocMessageKind::End;
            r.verdict = end(request.complete);
            if (!reply(r))
                return 1;
            break;
        }
        case DocMessageKind::NextText:
            if (!reply(nextText(request.most)))
                return 1;
            break;
        }
    }
}

bool DocumentServer::reply(const DocReply& reply)
{
    return PipeFrame::writeAll(m_out, DocumentProtocol::encode(reply)) == 0;
}

void DocumentServer::begin(const DocRequest& request)
{
    m_text.reset();
    m_pending.clear();
    m_pending.shrink_to_fit();
    m_ended = false;
    m_failure.reset();
    m_kind = request.document;
    m_budget.reset(request.limits);
    m_spooled = 0;
    m_truncated = false;
    m_spoolFailed = !openSpool() || ftruncate(m_spool, 0) != 0 || lseek(m_spool, 0, SEEK_SET) != 0;
    m_begun = true;
}

void DocumentServer::take(const std::string& bytes)
{
    if (!m_begun || m_spoolFailed || m_truncated)
        return;
    if (bytes.size() > m_budget.limits().fileBytes - m_spooled) {
        m_truncated = true;
        return;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_spool, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_spoolFailed = true; // a full disk: the file is given up
            return;
        }
        done += static_cast<std::size_t>(n);
    }
    m_spooled += bytes.size();
}

DocumentVerdict DocumentServer::end(bool complete)
{
    if (!m_begun)
        return DocumentVerdict::Damaged;
    m_begun = false;
    if (!complete || m_truncated)
        return DocumentVerdict::OverLimit;
    if (m_spoolFailed)
        return DocumentVerdict::Damaged;
    m_budget.start();
    DocumentVerdict verdict = DocumentVerdict::NotDocument;
    if (m_kind == DocumentKind::Zip) {
        if (std::unique_ptr<ZipArchive> archive = ZipArchive::open(m_spool)) {
            std::unique_ptr<PackageText> package;
            verdict = PackageText::open(std::move(archive), m_budget, package);
            m_text = std::move(package);
        }
    } else if (m_kind == DocumentKind::Pdf) {
        std::unique_ptr<PdfText> pdf;
        verdict = PdfText::open(m_spool, m_budget, pdf);
        m_text = std::move(pdf);
    }
    if (verdict == DocumentVerdict::Text && !m_budget.timeLeft())
        verdict = DocumentVerdict::OverLimit;
    m_budget.stop();
    if (verdict != DocumentVerdict::Text)
        m_text.reset();
    return verdict;
}

DocReply DocumentServer::nextText(std::uint32_t most)
{
    DocReply r;
    r.kind = DocMessageKind::NextText;
    const std::size_t want = std::clamp(most, kSmallestPiece, DocumentProtocol::kMaxPiece);
    if (!m_text && m_pending.empty() && !m_failure) {
        r.verdict = DocumentVerdict::Damaged; // no document in hand
        return r;
    }
    if (m_text && !m_ended && !m_failure && m_pending.size() < want) {
        m_budget.start();
        const DocumentVerdict verdict = m_text->produce(m_pending, want, m_ended);
        m_budget.stop();
        if (verdict != DocumentVerdict::Text)
            m_failure = verdict;
    }
    if (m_pending.empty()) {
        r.verdict = m_failure.value_or(DocumentVerdict::Text);
        return r; // Text with nothing: the end of the text
    }
    const std::size_t n = std::min(want, m_pending.size());
    r.text.assign(m_pending, 0, n);
    m_pending.erase(0, n);
    return r;
}

} // namespace qv
