#pragma once

#include <QString>
#include <QStringList>

// The text of the tips and about window: the version line, what the program is, where its
// data comes from, and tips for using it.
namespace AboutText {

// The paragraphs in order; the first ends with the build number.
QStringList paragraphs(int major, int minor, int revision);

// The paragraphs with one empty line between them and no line break after the last.
QString compose(int major, int minor, int revision);
// The same for the version this program was built as.
QString compose();

} // namespace AboutText
