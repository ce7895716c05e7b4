#pragma once

#include <QString>

// Files the program writes go to a temporary file beside their target, which is renamed over
// the target only once complete (QSaveFile): an interrupted or failed write never leaves a
// truncated file under the final name.
class SavedFile
{
public:
    // Copies from to to; false, with nothing written, when to exists already or a read or
    // write fails.
    static bool copy(const QString &from, const QString &to, QString *error = nullptr);
};
