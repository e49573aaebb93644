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

std::vector<TFileType> RegisteredFileTypes() {
    std::map<std::string, std::string> byExtension;  // sorted, first description kept
    const QList<QMimeType> types = QMimeDatabase().allMimeTypes();
    for (const QMimeType& type : types) {
        const QStringList globs = type.globPatterns();
        for (const QString& glob : globs) {
            const QString extension = ExtensionOfGlob(glob);
            if (extension.isEmpty())
                continue;
            byExtension.try_emplace(extension.toStdString(),
                                    DescriptionOf(type, extension).toStdString());
        }
    }
    std::vector<TFileType> result;
    result.reserve(byExtension.size());
    for (auto& [extension, description] : byExtension)
        result.push_back({extension, description});
    return result;
}
