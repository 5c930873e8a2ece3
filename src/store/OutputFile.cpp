#include "store/OutputFile.h"

#include <QFileInfo>

OutputFile::OutputFile(const QString& path)
    : m_direct(QFileInfo::exists(path) && !QFileInfo(path).isFile()), m_replaced(path), m_special(path)
{
}

bool OutputFile::open()
{
    return m_direct ? m_special.open(QIODevice::WriteOnly) : m_replaced.open(QIODevice::WriteOnly);
}

QIODevice& OutputFile::device()
{
    return m_direct ? static_cast<QIODevice&>(m_special) : m_replaced;
}

bool OutputFile::commit()
{
    if (!m_direct)
        return m_replaced.commit();
    // A device reports a full disk or a closed pipe only when the buffered bytes reach it.
    const bool flushed = m_special.flush();
    m_special.close();
    return flushed && m_special.error() == QFileDevice::NoError;
}

void OutputFile::cancel()
{
    if (m_direct)
        m_special.close();
    else
        m_replaced.cancelWriting();
}

QString OutputFile::errorString() const
{
    return m_direct ? m_special.errorString() : m_replaced.errorString();
}
