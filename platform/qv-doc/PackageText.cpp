#include "platform/qv-doc/PackageText.h"

#include "platform/qv-doc/WorkBudget.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>

namespace qv {
namespace {

// The package's own descriptions are small; a larger one is no document of ours.
constexpr std::size_t kMaxDescription = 4u << 20;
constexpr std::size_t kPiece = 64u << 10;

std::string asciiLower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool endsWith(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

bool contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

// A part name of the content types ("/word/document.xml", percent-encoded) as the
// zip names the entry, in ASCII lower case.
std::string entryKey(std::string_view partName)
{
    std::string out;
    for (std::size_t i = partName.empty() || partName[0] != '/' ? 0 : 1; i < partName.size(); ++i) {
        if (partName[i] == '%' && i + 2 < partName.size() && std::isxdigit(static_cast<unsigned char>(partName[i + 1]))
            && std::isxdigit(static_cast<unsigned char>(partName[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(partName.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += partName[i];
        }
    }
    return asciiLower(out);
}

class ContentTypes final : public XmlParser {
public:
    using XmlParser::XmlParser;
    std::map<std::string, std::string> defaults;  // extension (lower case) -> type
    std::map<std::string, std::string> overrides; // entry key -> type

protected:
    void startElement(std::string_view local, const char** attributes) override
    {
        const char* type = attribute(attributes, "ContentType");
        if (!type)
            return;
        if (local == "Default") {
            if (const char* ext = attribute(attributes, "Extension"))
                defaults[asciiLower(ext)] = type;
        } else if (local == "Override") {
            if (const char* name = attribute(attributes, "PartName"))
                overrides[entryKey(name)] = type;
        }
    }
    void endElement(std::string_view) override {}
    void characters(std::string_view) override {}
};

class Manifest final : public XmlParser {
public:
    using XmlParser::XmlParser;
    std::string rootType;
    bool encrypted = false;

protected:
    void startElement(std::string_view local, const char** attributes) override
    {
        if (local == "encryption-data")
            encrypted = true;
        if (local == "file-entry") {
            const char* path = attribute(attributes, "full-path");
            const char* type = attribute(attributes, "media-type");
            if (path && type && std::string_view(path) == "/")
                rootType = type;
        }
    }
    void endElement(std::string_view) override {}
    void characters(std::string_view) override {}
};

enum class Family { None, Word, Sheet, Presentation };

Family familyOfMain(std::string_view type)
{
    if (!endsWith(type, ".main+xml"))
        return Family::None;
    if (contains(type, "wordprocessingml") || contains(type, "application/vnd.ms-word."))
        return Family::Word;
    if (contains(type, "spreadsheetml") || contains(type, "application/vnd.ms-excel."))
        return Family::Sheet;
    if (contains(type, "presentationml") || contains(type, "application/vnd.ms-powerpoint."))
        return Family::Presentation;
    return Family::None;
}

// How a part of the family is read, if it is read at all.
std::optional<std::pair<PartRules, int>> rulesFor(Family family, std::string_view type)
{
    switch (family) {
    case Family::Word:
        if (familyOfMain(type) == Family::Word)
            return std::pair{PartRules::Word, 0};
        if (!contains(type, "wordprocessingml"))
            return std::nullopt;
        if (endsWith(type, ".footnotes+xml") || endsWith(type, ".endnotes+xml"))
            return std::pair{PartRules::Word, 1};
        if (endsWith(type, ".header+xml") || endsWith(type, ".footer+xml"))
            return std::pair{PartRules::Word, 2};
        if (endsWith(type, ".comments+xml"))
            return std::pair{PartRules::Word, 3};
        return std::nullopt;
    case Family::Sheet:
        if (endsWith(type, "spreadsheetml.sharedStrings+xml"))
            return std::pair{PartRules::SharedStrings, 0};
        if (endsWith(type, "spreadsheetml.worksheet+xml"))
            return std::pair{PartRules::Worksheet, 1};
        if (endsWith(type, "spreadsheetml.comments+xml"))
            return std::pair{PartRules::SheetComments, 3};
        if (endsWith(type, "application/vnd.ms-excel.threadedcomments+xml"))
            return std::pair{PartRules::ThreadedComments, 3};
        return std::nullopt;
    case Family::Presentation:
        if (endsWith(type, "presentationml.slide+xml"))
            return std::pair{PartRules::Drawing, 0};
        if (endsWith(type, "presentationml.notesSlide+xml"))
            return std::pair{PartRules::Drawing, 1};
        if (endsWith(type, "presentationml.comments+xml") || endsWith(type, "application/vnd.ms-powerpoint.comments+xml"))
            return std::pair{PartRules::Drawing, 3};
        return std::nullopt;
    case Family::None:
        break;
    }
    return std::nullopt;
}

// Names with their numbers in numeric order: slide2 before slide10.
bool naturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei])))
                ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej])))
                ++ej;
            std::string_view na(a.data() + i, ei - i), nb(b.data() + j, ej - j);
            while (na.size() > 1 && na[0] == '0')
                na.remove_prefix(1);
            while (nb.size() > 1 && nb[0] == '0')
                nb.remove_prefix(1);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

template <class Parser>
DocumentVerdict parseDescription(ZipArchive& archive, std::uint64_t index, WorkBudget& budget, Parser& parser)
{
    DocumentVerdict verdict = DocumentVerdict::Text;
    const std::optional<std::string> bytes = archive.readAll(index, kMaxDescription, budget, verdict);
    if (!bytes)
        return verdict;
    if (!parser.feed(bytes->data(), bytes->size(), true, verdict))
        return verdict;
    return DocumentVerdict::Text;
}

} // namespace

DocumentVerdict PackageText::open(std::unique_ptr<ZipArchive> archive, WorkBudget& budget,
                                  std::unique_ptr<PackageText>& reader)
{
    std::vector<Part> parts;
    DocumentVerdict verdict = DocumentVerdict::NotDocument;
    if (archive->find("[Content_Types].xml"))
        verdict = openXmlParts(*archive, budget, parts);
    else if (archive->find("mimetype") || archive->find("META-INF/manifest.xml"))
        verdict = openDocumentParts(*archive, budget, parts);
    if (verdict != DocumentVerdict::Text)
        return verdict;
    std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) {
        return a.rank != b.rank ? a.rank < b.rank : naturalLess(a.name, b.name);
    });
    reader.reset(new PackageText(std::move(archive), budget, std::move(parts)));
    return DocumentVerdict::Text;
}

DocumentVerdict PackageText::openXmlParts(ZipArchive& archive, WorkBudget& budget, std::vector<Part>& parts)
{
    ContentTypes types(budget.limits().xmlDepth);
    const DocumentVerdict read = parseDescription(archive, *archive.find("[Content_Types].xml"), budget, types);
    // A zip that merely holds a file of that name, unreadable, is no package of ours.
    if (read == DocumentVerdict::Damaged)
        return DocumentVerdict::NotDocument;
    if (read != DocumentVerdict::Text)
        return read;
    Family family = Family::None;
    for (const auto& [name, type] : types.overrides)
        if (family == Family::None)
            family = familyOfMain(type);
    if (family == Family::None)
        return DocumentVerdict::NotDocument;
    const std::uint64_t count = archive.entryCount();
    if (count > budget.limits().zipEntries)
        return DocumentVerdict::OverLimit;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::string name = archive.name(i);
        const std::string key = asciiLower(name);
        std::string type;
        if (const auto it = types.overrides.find(key); it != types.overrides.end()) {
            type = it->second;
        } else if (const auto dot = key.rfind('.'); dot != std::string::npos && key.find('/', dot) == std::string::npos) {
            if (const auto d = types.defaults.find(key.substr(dot + 1)); d != types.defaults.end())
                type = d->second;
        }
        if (const auto rules = rulesFor(family, type))
            parts.push_back({i, rules->first, rules->second, name});
    }
    return parts.empty() ? DocumentVerdict::Damaged : DocumentVerdict::Text;
}

DocumentVerdict PackageText::openDocumentParts(ZipArchive& archive, WorkBudget& budget, std::vector<Part>& parts)
{
    auto isOurs = [](std::string type) {
        while (!type.empty() && std::isspace(static_cast<unsigned char>(type.back())))
            type.pop_back();
        constexpr std::string_view prefix = "application/vnd.oasis.opendocument.";
        if (type.rfind(prefix, 0) != 0)
            return false;
        const std::string kind = type.substr(prefix.size());
        for (const char* known : {"text", "text-template", "text-master", "spreadsheet", "spreadsheet-template",
                                  "presentation", "presentation-template"})
            if (kind == known)
                return true;
        return false;
    };
    std::string type;
    if (const auto mimetype = archive.find("mimetype")) {
        DocumentVerdict verdict = DocumentVerdict::Text;
        if (const auto bytes = archive.readAll(*mimetype, 256, budget, verdict))
            type = *bytes;
    }
    Manifest manifest(budget.limits().xmlDepth);
    bool manifestRead = false;
    if (const auto index = archive.find("META-INF/manifest.xml"))
        manifestRead = parseDescription(archive, *index, budget, manifest) == DocumentVerdict::Text;
    if (!isOurs(type) && !(manifestRead && isOurs(manifest.rootType)))
        return DocumentVerdict::NotDocument;
    if (archive.entryCount() > budget.limits().zipEntries)
        return DocumentVerdict::OverLimit;
    if (manifest.encrypted)
        return DocumentVerdict::Encrypted;
    const auto content = archive.find("content.xml");
    if (!content)
        return DocumentVerdict::Damaged;
    parts.push_back({*content, PartRules::OpenDocument, 0, "content.xml"});
    if (const auto styles = archive.find("styles.xml"))
        parts.push_back({*styles, PartRules::OpenDocument, 2, "styles.xml"});
    return DocumentVerdict::Text;
}

PackageText::PackageText(std::unique_ptr<ZipArchive> archive, WorkBudget& budget, std::vector<Part> parts)
    : m_archive(std::move(archive)), m_budget(budget), m_parts(std::move(parts)), m_buffer(kPiece)
{
}

DocumentVerdict PackageText::produce(std::string& out, std::size_t most, bool& ended)
{
    ended = false;
    while (out.size() < most) {
        if (!m_budget.timeLeft())
            return DocumentVerdict::OverLimit;
        if (!m_entry) {
            if (m_next >= m_parts.size()) {
                ended = true;
                return DocumentVerdict::Text;
            }
            const Part& part = m_parts[m_next++];
            DocumentVerdict verdict = DocumentVerdict::Text;
            m_entry = m_archive->openEntry(part.index, verdict);
            if (!m_entry)
                return verdict;
            m_parser = std::make_unique<PartText>(part.rules, m_budget.limits().xmlDepth, out);
        }
        DocumentVerdict verdict = DocumentVerdict::Text;
        const std::int64_t n = m_entry->read(m_buffer.data(), m_buffer.size(), m_budget, verdict);
        if (n < 0)
            return verdict;
        // The parser appends to the string it was made with: the caller's, every time.
        if (!m_parser->feed(m_buffer.data(), static_cast<std::size_t>(n), n == 0, verdict))
            return verdict;
        if (n == 0) {
            m_parser.reset();
            m_entry.reset();
        }
    }
    return DocumentVerdict::Text;
}

} // namespace qv
