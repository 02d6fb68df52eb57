// The request loop of qv-doc: takes a file's bytes into a spool file of its own,
// tells what the file is, and hands out its text a piece at a time.
#pragma once

#include "platform/DocumentProtocol.h"
#include "platform/qv-doc/DocumentText.h"
#include "platform/qv-doc/WorkBudget.h"

#include <memory>
#include <optional>
#include <string>

namespace qv {

class DocumentServer final {
public:
    DocumentServer(int in, int out);
    ~DocumentServer();
    DocumentServer(const DocumentServer&) = delete;
    DocumentServer& operator=(const DocumentServer&) = delete;

    // Until the input closes or garbage arrives; the exit status of the helper.
    int run();

private:
    bool reply(const DocReply& reply);
    void begin(const DocRequest& request);
    void take(const std::string& bytes);
    DocumentVerdict end(bool complete);
    DocReply nextText(std::uint32_t most);
    bool openSpool();

    int m_in;
    int m_out;
    int m_spool = -1;
    std::uint64_t m_spooled = 0;
    bool m_truncated = false;
    bool m_spoolFailed = false;
    bool m_begun = false;
    DocumentKind m_kind = DocumentKind::None;
    WorkBudget m_budget;
    std::unique_ptr<DocumentText> m_text;
    // Text made but not yet handed out; the readers append to this very string.
    std::string m_pending;
    bool m_ended = false;
    std::optional<DocumentVerdict> m_failure; // told once the text before it is out
};

} // namespace qv
