#include "filetypes.h"

#include <QMimeDatabase>
#include <QMimeType>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <map>

namespace {

bool IsPlainExtensionChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u'+';
}

// The extension of a glob of the form "*.ext" whose ext has only letters, digits, '_',
// '-' and '+', as ".ext" in lower case; empty for every other glob ("*.tar.gz",
// "*.[ch]", "Makefile").
QString ExtensionOfGlob(const QString& glob) {
    if (!glob.startsWith(QLatin1String("*.")) || glob.size() < 3)
        return {};
    const QString ext = glob.mid(2);
    if (!std::all_of(ext.begin(), ext.end(), IsPlainExtensionChar))
        return {};
    return QLatin1Char('.') + ext.toLower();
}

QString DescriptionOf(const QMimeType& type, const QString& extension) {
    QString comment = type.comment();
    if (!comment.isEmpty())
        return comment;
    return extension.mid(1).toUpper() + QLatin1String(" File");
}

}  // namespace

// Several types may claim one extension (".html": HTML and XHTML); the one the database
// itself chooses for such a file name describes it, whatever order the types are listed in.
QMimeType PreferredTypeOf(const QMimeDatabase& database, const QString& extension,
                          const QMimeType& claimant) {
    const QMimeType chosen =
        database.mimeTypeForFile(QLatin1String("file") + extension, QMimeDatabase::MatchExtension);
    return chosen.isValid() && !chosen.isDefault() ? chosen : claimant;
}

std::vector<TFileType> RegisteredFileTypes() {
    std::map<std::string, std::string> byExtension;  // sorted
    const QMimeDatabase database;
    const QList<QMimeType> types = database.allMimeTypes();
    for (const QMimeType& type : types) {
        const QStringList globs = type.globPatterns();
        for (const QString& glob : globs) {
            const QString extension = ExtensionOfGlob(glob);
            if (extension.isEmpty() || byExtension.contains(extension.toStdString()))
                continue;
            const QMimeType preferred = PreferredTypeOf(database, extension, type);
            byExtension.emplace(extension.toStdString(),
                                DescriptionOf(preferred, extension).toStdString());
        }
    }
    std::vector<TFileType> result;
    result.reserve(byExtension.size());
    for (auto& [extension, description] : byExtension)
        result.push_back({extension, description});
    return result;
}
