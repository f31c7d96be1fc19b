#include "outputfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <chrono>
#include <thread>

namespace kelto {

bool replaceFile(const QString &path, const QByteArray &bytes, QString &problem)
{
    constexpr int Tries = 50;
    constexpr std::chrono::milliseconds Pause(20);
    for (int attempt = 1;; ++attempt) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            problem = file.errorString();
            return false;
        }
        if (file.commit())
            return true;
        problem = file.errorString();
        if (attempt == Tries)
            return false;
        std::this_thread::sleep_for(Pause);
    }
}

bool canReplaceFile(const QString &path, QString &problem)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        problem = file.errorString();
        return false;
    }
    file.cancelWriting(); // the temporary file goes, and the old file stays
    return true;
}

} // namespace kelto
