#include "platform/MimeFileTypeInfo.h"

#include <QFile>
#include <QLocale>
#include <QStandardPaths>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

#include <unordered_set>

namespace qv {

struct MimeFileTypeInfo::Impl {
    QMimeDatabase database;
    std::mutex mutex;
    // The type follows from the name's extension, so answers are cached by it:
    // one database look-up per kind of name, not per file.
    std::unordered_map<std::string, FileType> byKey;
    // Lower-cased suffixes of more than one extension that name a type of their
    // own ("tar.gz"), gathered from the database on first need.
    std::unordered_set<std::string> compoundSuffixes;
    bool compoundSuffixesRead = false;

    // Read from the database's glob lists directly: asking QMimeDatabase for
    // every type's patterns parses the whole XML database, which costs more than
    // a search of a big tree.
    void readCompoundSuffixes()
    {
        compoundSuffixesRead = true;
        const QStringList files = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                            QStringLiteral("mime/globs2"));
        for (const QString& path : files) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            while (!file.atEnd()) {
                // weight:type:pattern[:flags]
                const QList<QByteArray> fields = file.readLine().trimmed().split(':');
                if (fields.size() < 3 || fields[0].startsWith('#'))
                    continue;
                const QByteArray& glob = fields[2];
                if (!glob.startsWith("*.") || glob.count('.') < 2)
                    continue;
                const QByteArray suffix = glob.mid(2);
                if (suffix.contains('*') || suffix.contains('?') || suffix.contains('['))
                    continue;
                compoundSuffixes.insert(suffix.toLower().toStdString());
            }
        }
    }

    // The part of the name that decides its type: the whole name when it has no
    // extension, a known compound suffix, or else the last extension.
    std::string keyOf(std::string_view fileName)
    {
        const auto lastDot = fileName.rfind('.');
        if (lastDot == std::string_view::npos || lastDot == 0)
            return "=" + std::string(fileName);
        if (fileName.find('.') != lastDot) {
            if (!compoundSuffixesRead)
                readCompoundSuffixes();
            // Up to three extensions, longest first.
            std::size_t start = lastDot;
            std::string best;
            for (int n = 0; n < 2; ++n) {
                const auto dot = start == 0 ? std::string_view::npos : fileName.rfind('.', start - 1);
                if (dot == std::string_view::npos || dot == 0)
                    break;
                start = dot;
                std::string suffix(fileName.substr(start + 1));
                for (char& c : suffix)
                    if (c >= 'A' && c <= 'Z')
                        c = static_cast<char>(c + 32);
                if (compoundSuffixes.count(suffix))
                    best = "." + std::string(fileName.substr(start + 1));
            }
            if (!best.empty())
                return best;
        }
        return std::string(fileName.substr(lastDot));
    }
};

MimeFileTypeInfo::MimeFileTypeInfo(std::string localeName)
    : m_impl(std::make_unique<Impl>())
{
    if (!localeName.empty())
        QLocale::setDefault(QLocale(QString::fromStdString(localeName)));
}

MimeFileTypeInfo::~MimeFileTypeInfo() = default;

FileType MimeFileTypeInfo::typeOf(std::string_view fileName)
{
    std::lock_guard lock(m_impl->mutex);
    const std::string key = m_impl->keyOf(fileName);
    if (const auto it = m_impl->byKey.find(key); it != m_impl->byKey.end())
        return it->second;
    // Looked up by a stand-in name with the same extension, so that what stands
    // before the extension never changes the answer for the others that share it.
    const std::string standIn = key[0] == '=' ? key.substr(1) : "x" + key;
    const QString name = QString::fromStdString(standIn);
    const QMimeType mime = m_impl->database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    FileType type;
    type.typeName = mime.comment().toStdString();
    QString icon = mime.iconName();
    if (icon.isEmpty())
        icon = mime.genericIconName();
    type.iconName = icon.toStdString();
    m_impl->byKey.emplace(key, type);
    return type;
}

} // namespace qv
