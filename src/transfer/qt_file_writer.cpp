#include "transfer/qt_file_writer.h"

#include <QFileInfo>
#include <QSaveFile>

namespace tunalyx {

std::string QtFileWriter::writeWhole(const std::string& path, std::string_view contents) {
    const QString name = QString::fromStdString(path);
    const QFileInfo target(name);
    // Renaming over a device or a folder would destroy it; only files are replaced.
    if (target.exists() && !target.isFile()) return "Cannot write " + path + ": not a regular file";
    QSaveFile file(name);
    // Unbuffered, so that a write the disk cuts short (full, or over a size limit) is seen here:
    // through the buffer it would go unnoticed and the short file would replace the whole one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return "Cannot write " + path + ": " + file.errorString().toStdString();
    for (std::string_view rest = contents; !rest.empty();) {
        const qint64 written = file.write(rest.data(), static_cast<qint64>(rest.size()));
        if (written <= 0) {
            const std::string reason = file.error() != QFileDevice::NoError
                                           ? file.errorString().toStdString()
                                           : std::string("the disk took no more");
            file.cancelWriting();
            return "Cannot write " + path + ": " + reason;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (!file.commit()) return "Cannot write " + path + ": " + file.errorString().toStdString();
    return {};
}

}  // namespace tunalyx
