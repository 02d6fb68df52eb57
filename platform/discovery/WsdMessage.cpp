// WS-Discovery builders and parsers on QXmlStreamReader.
#include "platform/discovery/WsdMessage.h"

#include "platform/discovery/DiscoveryName.h"

#include <QByteArray>
#include <QUuid>
#include <QXmlStreamReader>

namespace qv {
namespace {

constexpr QStringView kSoap = u"http://www.w3.org/2003/05/soap-envelope";
constexpr QStringView kAddressing = u"http://schemas.xmlsoap.org/ws/2004/08/addressing";
constexpr QStringView kDiscovery = u"http://schemas.xmlsoap.org/ws/2005/04/discovery";
constexpr QStringView kPub = u"http://schemas.microsoft.com/windows/pub/2005/07";
constexpr const char* kProbeMatchesAction = "http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches";
constexpr const char* kResolveMatchesAction = "http://schemas.xmlsoap.org/ws/2005/04/discovery/ResolveMatches";
constexpr const char* kGetResponseAction = "http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse";

constexpr int kMaxDepth = 32;
constexpr qsizetype kMaxTextChars = 4096;
constexpr std::size_t kMaxMatches = 64;
constexpr std::size_t kMaxXAddrs = 8;
constexpr std::size_t kMaxEndpointBytes = 1024;

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string envelope(std::string_view to, std::string_view action, std::string_view messageId, std::string_view extraHeader,
                     std::string_view body)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                      "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\""
                      " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
                      " xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
                      " xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\">"
                      "<soap:Header><wsa:To>";
    xml += escaped(to);
    xml += "</wsa:To><wsa:Action>";
    xml += action;
    xml += "</wsa:Action><wsa:MessageID>";
    xml += escaped(messageId);
    xml += "</wsa:MessageID>";
    xml += extraHeader;
    xml += "</soap:Header><soap:Body>";
    xml += body;
    xml += "</soap:Body></soap:Envelope>";
    return xml;
}

std::string trimmed(const QString& text)
{
    return text.trimmed().toStdString();
}

bool plainText(std::string_view text, std::size_t maxBytes)
{
    if (text.empty() || text.size() > maxBytes)
        return false;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return false;
    }
    return true;
}

// Walks a document element by element with the checks every parse here needs.
// onEnd(path, text) runs at each end tag with the element path from the root
// (namespace URI and local name) and the element's own text.
struct Element {
    QString ns;
    QString name;
    bool is(QStringView n, QStringView local) const { return ns == n && name == local; }
};

template <typename OnEnd>
bool walk(std::string_view xml, OnEnd onEnd)
{
    if (xml.size() > WsdMessage::kMaxDocumentBytes)
        return false;
    QXmlStreamReader reader(QByteArray::fromRawData(xml.data(), static_cast<qsizetype>(xml.size())));
    std::vector<Element> path;
    QString text;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
        case QXmlStreamReader::EntityReference:
            // No DTD means no entity can be declared, internal or external.
            return false;
        case QXmlStreamReader::StartElement:
            if (static_cast<int>(path.size()) >= kMaxDepth)
                return false;
            path.push_back({reader.namespaceUri().toString(), reader.name().toString()});
            text.clear();
            break;
        case QXmlStreamReader::Characters:
            if (text.size() + reader.text().size() > kMaxTextChars)
                return false;
            text += reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (!onEnd(path, text))
                return false;
            path.pop_back();
            text.clear();
            break;
        default:
            break;
        }
    }
    return !reader.hasError() && path.empty();
}

bool pathIs(const std::vector<Element>& path, std::initializer_list<std::pair<QStringView, QStringView>> expected)
{
    if (path.size() != expected.size())
        return false;
    std::size_t i = 0;
    for (const auto& [ns, name] : expected) {
        if (!path[i++].is(ns, name))
            return false;
    }
    return true;
}

} // namespace

std::string WsdMessage::newMessageId()
{
    return "urn:uuid:" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

std::string WsdMessage::buildProbe(std::string_view messageId)
{
    return envelope("urn:schemas-xmlsoap-org:ws:2005:04:discovery", "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe",
                    messageId, {}, "<wsd:Probe><wsd:Types>wsdp:Device</wsd:Types></wsd:Probe>");
}

std::string WsdMessage::buildResolve(std::string_view messageId, std::string_view endpoint)
{
    return envelope("urn:schemas-xmlsoap-org:ws:2005:04:discovery",
                    "http://schemas.xmlsoap.org/ws/2005/04/discovery/Resolve", messageId, {},
                    "<wsd:Resolve><wsa:EndpointReference><wsa:Address>" + escaped(endpoint)
                        + "</wsa:Address></wsa:EndpointReference></wsd:Resolve>");
}

std::string WsdMessage::buildGet(std::string_view messageId, std::string_view endpoint)
{
    return envelope(endpoint, "http://schemas.xmlsoap.org/ws/2004/09/transfer/Get", messageId,
                    "<wsa:ReplyTo><wsa:Address>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"
                    "</wsa:Address></wsa:ReplyTo>",
                    {});
}

std::optional<WsdReply> WsdMessage::parseReply(std::string_view xml)
{
    WsdReply reply;
    std::string action;
    int lists = 0; // ProbeMatches or ResolveMatches elements in the body
    WsdMatch current;
    const bool ok = walk(xml, [&](const std::vector<Element>& path, const QString& text) {
        if (path.empty() || !path[0].is(kSoap, u"Envelope"))
            return false;
        if (pathIs(path, {{kSoap, u"Envelope"}, {kSoap, u"Header"}, {kAddressing, u"Action"}})) {
            action = trimmed(text);
            return true;
        }
        if (pathIs(path, {{kSoap, u"Envelope"}, {kSoap, u"Header"}, {kAddressing, u"RelatesTo"}})) {
            reply.relatesTo = trimmed(text);
            return true;
        }
        if (path.size() < 3 || !path[1].is(kSoap, u"Body"))
            return true;
        const bool probe = path[2].is(kDiscovery, u"ProbeMatches");
        if (!probe && !path[2].is(kDiscovery, u"ResolveMatches"))
            return true; // other body content is not ours to read
        const QStringView matchName = probe ? QStringView(u"ProbeMatch") : QStringView(u"ResolveMatch");
        if (path.size() == 3) {
            reply.kind = probe ? WsdReply::Kind::ProbeMatches : WsdReply::Kind::ResolveMatches;
            ++lists;
        } else if (!path[3].is(kDiscovery, matchName)) {
            return true;
        } else if (path.size() == 4) {
            if (!plainText(current.endpoint, kMaxEndpointBytes) || reply.matches.size() >= kMaxMatches)
                return false;
            reply.matches.push_back(std::move(current));
            current = {};
        } else if (path.size() == 6 && path[4].is(kAddressing, u"EndpointReference")
                   && path[5].is(kAddressing, u"Address")) {
            current.endpoint = trimmed(text);
        } else if (path.size() == 5 && path[4].is(kDiscovery, u"XAddrs")) {
            const auto list = text.simplified().split(u' ', Qt::SkipEmptyParts);
            if (static_cast<std::size_t>(list.size()) > kMaxXAddrs)
                return false;
            current.xaddrs.clear();
            for (const QString& x : list)
                current.xaddrs.push_back(x.toStdString());
        }
        return true;
    });
    if (!ok || lists != 1 || reply.relatesTo.empty())
        return std::nullopt;
    const char* expected = reply.kind == WsdReply::Kind::ProbeMatches ? kProbeMatchesAction : kResolveMatchesAction;
    if (action != expected)
        return std::nullopt;
    return reply;
}

std::optional<WsdComputer> WsdMessage::parseMetadata(std::string_view xml)
{
    std::string action;
    std::optional<std::string> computer;
    const bool ok = walk(xml, [&](const std::vector<Element>& path, const QString& text) {
        if (path.empty() || !path[0].is(kSoap, u"Envelope"))
            return false;
        if (pathIs(path, {{kSoap, u"Envelope"}, {kSoap, u"Header"}, {kAddressing, u"Action"}}))
            action = trimmed(text);
        else if (path.size() > 2 && path[1].is(kSoap, u"Body") && path.back().is(kPub, u"Computer") && !computer)
            computer = text.toStdString();
        return true;
    });
    if (!ok || action != kGetResponseAction || !computer)
        return std::nullopt;
    return parseComputer(*computer);
}

std::optional<WsdComputer> WsdMessage::parseComputer(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    WsdComputer computer;
    const std::size_t slash = text.find('/');
    computer.name = std::string(text.substr(0, slash));
    if (!DiscoveryName::acceptable(computer.name))
        return std::nullopt;
    if (slash == std::string_view::npos)
        return computer;
    const std::string_view rest = text.substr(slash + 1);
    const std::size_t colon = rest.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const QString kind = QString::fromUtf8(rest.data(), static_cast<qsizetype>(colon));
    if (kind.compare(u"Workgroup", Qt::CaseInsensitive) == 0)
        computer.isDomain = false;
    else if (kind.compare(u"Domain", Qt::CaseInsensitive) == 0)
        computer.isDomain = true;
    else
        return std::nullopt;
    computer.workgroup = std::string(rest.substr(colon + 1));
    if (!DiscoveryName::acceptable(computer.workgroup))
        return std::nullopt;
    return computer;
}

} // namespace qv
