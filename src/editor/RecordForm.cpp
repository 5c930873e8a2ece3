#include "editor/RecordForm.h"

#include "store/Data1.h"

namespace {

const QString NoComments = QStringLiteral("No Comments");
const QString EmptyFrequency = QStringLiteral("0");

QString frequencyField(int box)
{
    return QStringLiteral("F%1").arg(box + 1);
}

QString orDefault(const QString& text, const QString& fallback)
{
    return text.isEmpty() ? fallback : text;
}

} // namespace

RecordForm RecordForm::fromCurrentRecord(const Data1& data)
{
    RecordForm form;
    form.description = data.field(QStringLiteral("Description")).toString();
    form.comments = orDefault(data.field(QStringLiteral("Comments")).toString(), NoComments);
    for (int box = 0; box < FrequencyBoxes; ++box)
        form.frequencies[box] = orDefault(data.field(frequencyField(box)).toString(), EmptyFrequency);
    return form;
}

QString RecordForm::commentsFromBox(const QString& boxText)
{
    QString comments;
    comments.reserve(boxText.size());
    for (const QChar c : boxText) {
        // A text box ends a paragraph with U+2029 and a line within one (Shift+Enter) with U+2028.
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == QLatin1Char('\n'))
            comments += QLatin1String("\r\n");
        else
            comments += c;
    }
    return comments;
}

RecordForm RecordForm::withStoredDefaults() const
{
    RecordForm form = *this;
    form.comments = orDefault(comments, NoComments);
    for (QString& frequency : form.frequencies)
        frequency = orDefault(frequency, EmptyFrequency);
    return form;
}

Outcome RecordForm::store(Data1& data, Target target) const
{
    if (target == Target::NewRecord)
        data.addNew();
    else
        data.edit();
    data.setField(QStringLiteral("Description"), description);
    data.setField(QStringLiteral("Comments"), comments);
    for (int box = 0; box < FrequencyBoxes; ++box)
        data.setField(frequencyField(box), frequencies[box]);
    const Outcome stored = data.update();
    if (!stored)
        data.cancelUpdate();
    return stored;
}
