// Real-shaped answers as the peers on a LAN send them (an mDNS responder, a NetBIOS
// name server, a WS-Discovery device), built field by field; the parser tests, the
// robustness test and the loopback responders all start from these.
#pragma once

#include "tests/discovery/PacketWriter.h"

#include <vector>

namespace qv::test {

struct NbnsEntry {
    std::string name; // padded to 15 bytes with blanks
    unsigned suffix;
    unsigned flags; // 0x0400 unique and active, 0x8400 group and active
};

class SamplePackets {
public:
    // A one-shot answer for _smb._tcp.local: the question repeated, the PTR answer, and
    // SRV, TXT, A and AAAA as additional records, each name compressed against an
    // earlier one.
    static std::string mdnsAnswer()
    {
        PacketWriter w;
        w.header(0x1234, 0x8400, 1, 1, 0, 4);
        const std::size_t service = w.size();
        w.label("_smb").label("_tcp");
        const std::size_t local = w.size();
        w.label("local").u8(0).u16(12).u16(0x8001);
        w.pointer(service).u16(12).u16(1).u32(10);
        std::size_t data = w.beginData();
        const std::size_t instance = w.size();
        w.label("hayashi6").pointer(service).endData(data);
        w.pointer(instance).u16(33).u16(0x8001).u32(10);
        data = w.beginData();
        w.u16(0).u16(0).u16(445);
        const std::size_t host = w.size();
        w.label("hayashi6").pointer(local).endData(data);
        w.pointer(instance).u16(16).u16(0x8001).u32(10);
        data = w.beginData();
        w.u8(0).endData(data);
        w.pointer(host).u16(1).u16(0x8001).u32(10);
        data = w.beginData();
        w.u32(0xC0000221).endData(data); // 192.0.2.33
        w.pointer(host).u16(28).u16(0x8001).u32(10);
        data = w.beginData();
        w.u16(0xfe80).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0x33).endData(data);
        return w.bytes();
    }

    static const std::vector<NbnsEntry>& sawa7()
    {
        static const std::vector<NbnsEntry> entries = {
            {"SAWA7", 0x00, 0x0400}, {"SAWA7", 0x03, 0x0400},     {"SAWA7", 0x20, 0x0400},
            {"LONEGROUP", 0x00, 0x8400}, {"LONEGROUP", 0x1E, 0x8400},
        };
        return entries;
    }

    // A node-status answer: the wildcard name echoed, one NBSTAT record with the name
    // table and, when withStatistics, the 46 bytes of statistics.
    static std::string nodeStatusAnswer(const std::vector<NbnsEntry>& entries, unsigned id = 0x4242,
                                        bool withStatistics = true)
    {
        PacketWriter w;
        w.header(id, 0x8400, 0, 1, 0, 0).u8(32).raw("CK" + std::string(30, 'A')).u8(0).u16(0x21).u16(1).u32(0);
        const std::size_t data = w.beginData();
        w.u8(static_cast<unsigned>(entries.size()));
        for (const NbnsEntry& e : entries) {
            std::string padded = e.name;
            padded.resize(15, ' ');
            w.raw(padded).u8(e.suffix).u16(e.flags);
        }
        if (withStatistics)
            w.raw(std::string("\x02\x00\x00\x00\x00\x34", 6)).raw(std::string(40, '\0'));
        return w.endData(data).bytes();
    }

    static std::string soap(const std::string& action, const std::string& relatesTo, const std::string& body)
    {
        return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
               "<soap:Envelope xmlns:soap=\"http://www.w3.org/2003/05/soap-envelope\""
               " xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\""
               " xmlns:wsd=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\""
               " xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\""
               " xmlns:wsx=\"http://schemas.xmlsoap.org/ws/2004/09/mex\""
               " xmlns:pub=\"http://schemas.microsoft.com/windows/pub/2005/07\"><soap:Header>"
               "<wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous</wsa:To>"
               "<wsa:Action>" + action + "</wsa:Action>"
               "<wsa:MessageID>urn:uuid:0c5e3bbb-0000-4000-8000-000000000001</wsa:MessageID>"
               "<wsa:RelatesTo>" + relatesTo + "</wsa:RelatesTo>"
               "<wsd:AppSequence InstanceId=\"1\" MessageNumber=\"2\"/></soap:Header><soap:Body>" + body
               + "</soap:Body></soap:Envelope>";
    }

    // kind is "ProbeMatch" or "ResolveMatch"; no XAddrs element when xaddrs is empty.
    static std::string match(const std::string& kind, const std::string& endpoint, const std::string& xaddrs)
    {
        return "<wsd:" + kind + "><wsa:EndpointReference><wsa:Address>" + endpoint
               + "</wsa:Address></wsa:EndpointReference><wsd:Types>wsdp:Device pub:Computer</wsd:Types>"
               + (xaddrs.empty() ? "" : "<wsd:XAddrs>" + xaddrs + "</wsd:XAddrs>")
               + "<wsd:MetadataVersion>1</wsd:MetadataVersion></wsd:" + kind + ">";
    }

    static std::string probeMatches(const std::string& matches, const std::string& relatesTo = "urn:uuid:probe-1")
    {
        return soap("http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches", relatesTo,
                    "<wsd:ProbeMatches>" + matches + "</wsd:ProbeMatches>");
    }

    // A device's metadata as a Get response, its computer named by computer.
    static std::string getResponse(const std::string& computer)
    {
        const std::string endpoint = "urn:uuid:6d6f7269-3500-4d6f-9269-000000000032";
        return soap("http://schemas.xmlsoap.org/ws/2004/09/transfer/GetResponse", "urn:uuid:get-1",
                    "<wsx:Metadata><wsx:MetadataSection Dialect=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/ThisDevice\">"
                    "<wsdp:ThisDevice><wsdp:FriendlyName>WSD Device</wsdp:FriendlyName></wsdp:ThisDevice></wsx:MetadataSection>"
                    "<wsx:MetadataSection Dialect=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/Relationship\">"
                    "<wsdp:Relationship Type=\"http://schemas.xmlsoap.org/ws/2006/02/devprof/host\"><wsdp:Host>"
                    "<wsa:EndpointReference><wsa:Address>" + endpoint + "</wsa:Address></wsa:EndpointReference>"
                    "<wsdp:Types>pub:Computer</wsdp:Types><pub:Computer>" + computer + "</pub:Computer>"
                    "</wsdp:Host></wsdp:Relationship></wsx:MetadataSection></wsx:Metadata>");
    }
};

} // namespace qv::test
