#include "platform/MimeFileTypeInfo.h"

#include <QLocale>
#include <QMimeDatabase>
#include <QMimeType>
#include <QString>

namespace qv {

struct MimeFileTypeInfo::Impl {
    QMimeDatabase database;
    std::mutex mutex;
    // Types are matched on the name's extensions, so the answer is cached by the
    // part of the name from its first dot: one database look-up per kind of name.
    std::unordered_map<std::string, FileType> byExtension;
};

namespace {

std::string cacheKey(std::string_view fileName)
{
    const auto dot = fileName.find('.', 1);
    if (dot == std::string_view::npos)
        return std::string(fileName); // "Makefile", "README": the whole name decides
    std::string key(fileName.substr(dot));
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return key;
}

} // namespace

MimeFileTypeInfo::MimeFileTypeInfo(std::string localeName)
    : m_impl(std::make_unique<Impl>())
{
    if (!localeName.empty())
        QLocale::setDefault(QLocale(QString::fromStdString(localeName)));
}

MimeFileTypeInfo::~MimeFileTypeInfo() = default;

FileType MimeFileTypeInfo::typeOf(std::string_view fileName)
{
    const std::string key = cacheKey(fileName);
    std::lock_guard lock(m_impl->mutex);
    if (const auto it = m_impl->byExtension.find(key); it != m_impl->byExtension.end())
        return it->second;
    const QString name = QString::fromUtf8(fileName.data(), static_cast<qsizetype>(fileName.size()));
    const QMimeType mime = m_impl->database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    FileType type;
    type.typeName = mime.comment().toStdString();
    QString icon = mime.iconName();
    if (icon.isEmpty())
        icon = mime.genericIconName();
    type.iconName = icon.toStdString();
    m_impl->byExtension.emplace(key, type);
    return type;
}

} // namespace qv
