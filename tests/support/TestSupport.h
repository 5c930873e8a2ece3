#pragma once

#include "main_window/AppServices.h"
#include "main_window/Form1.h"
#include "main_window/MessageBoxes.h"
#include "store/Module1.h"
#include "store/ViewerLauncher.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVector>

#include <memory>

// A message box that a test answers: records what was shown, returns queued answers (OK
// when nothing is queued).
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString prompt;
        QString title;
        Style style;
    };

    int show(QWidget* parent, const QString& prompt, const QString& title, Style style) override;
    void queueAnswer(int answer) { m_answers << answer; }

    QVector<Shown> shown;

private:
    QVector<int> m_answers;
};

class RecordingViewer : public ViewerLauncher
{
public:
    bool launch(const QString& appDir, const QString& fileName) override;

    QStringList launches; // "appDir|fileName"
    bool succeeds = true;
};

// One record of table Main as a test writes it; a null QVariant is a null field.
struct TestRecord
{
    QVariant description;
    QVariant comments;
    QVector<QVariant> frequencies = QVector<QVariant>(40);

    static TestRecord make(const QVariant& description, const QVariant& comments = QVariant(),
                           const QVariantList& frequencies = {});
};

QVariant nullText();

// A file's SHA-256, empty when it cannot be read: proves that a failure left the file alone.
QByteArray fileHash(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// Creates freqs.mdb-style database at path with exactly these records, in this order.
void createDatabase(const QString& path, const QVector<TestRecord>& records);
// Reads every record of Main in rowid order, fields as stored.
QVector<TestRecord> readDatabase(const QString& path);

// A main window on a fresh temporary folder and database, with test doubles for the boxes,
// the viewer, the beep and the clock.
struct MainWindowFixture
{
    MainWindowFixture();
    ~MainWindowFixture();

    // Writes the records (unless withoutDatabase), then runs the window's start-up.
    bool start(const QVector<TestRecord>& records);
    QString dbPath() const;

    template<typename T>
    T* child(const QString& name) const;

    QTemporaryDir folder;
    Module1 module;
    ScriptedMessageBoxes boxes;
    RecordingViewer viewer;
    AppServices services;
    int beeps = 0;
    int quits = 0;
    QDateTime clock = QDateTime(QDate(2026, 12, 5), QTime(9, 5));
    std::unique_ptr<Form1> form;
};

template<typename T>
T* MainWindowFixture::child(const QString& name) const
{
    return form->findChild<T*>(name);
}
