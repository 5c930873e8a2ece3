#pragma once

#include <QFile>
#include <QSaveFile>
#include <QString>

// A file that an export writes. A regular file, or a new one, is written beside itself and
// takes the old one's place only when complete. A pipe, a terminal or a device that exists
// is written directly and in order: renaming over it would replace the node itself, and its
// reader would get nothing.
class OutputFile
{
public:
    explicit OutputFile(const QString& path);

    bool open();
    QIODevice& device();
    // Puts the written file in place, or flushes the direct writes; false on any write error.
    bool commit();
    // Leaves a regular file as it was; what went directly to a device cannot be taken back.
    void cancel();
    QString errorString() const;

private:
    bool m_direct;
    QSaveFile m_replaced;
    QFile m_special;
};
