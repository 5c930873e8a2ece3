#pragma once

#include "main_window/AppServices.h"
#include "main_window/Form1.h"
#include "main_window/MessageBoxes.h"
#include "store/Data1.h"
#include "main_window/Module1.h"
#include "store/OrvoDatabase.h"
#include "printing/ViewerLauncher.h"

#include <QApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QTest>
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

// Runs use on a connection of its own to the Orvo database at path, which is gone afterwards.
template <typename Use> void onOrvoDatabase(const QString& path, Use use)
{
    const QString name = QStringLiteral("test-connection");
    {
        if (const Outcome opened = OrvoDatabase::open(path, name); opened)
            use(QSqlDatabase::database(name, false));
        else
            QTest::qFail(qPrintable(opened.error), __FILE__, __LINE__);
        QSqlDatabase::database(name, false).close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Opens data over the file at path with this query, every record when none is given.
Outcome openRecords(Data1& data, const QString& path, const QString& query = QString());

// Creates freqs.mdb-style database at path with exactly these records, in this order.
void createDatabase(const QString& path, const QVector<TestRecord>& records);
// Reads every record of Main in rowid order, fields as stored.
QVector<TestRecord> readDatabase(const QString& path);

// The program's top-level windows of this class; only the shown ones unless told otherwise.
template <typename Window> QList<Window*> windowsOf(bool shownOnly = true)
{
    QList<Window*> windows;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<Window*>(widget); window && (!shownOnly || window->isVisible()))
            windows << window;
    }
    return windows;
}

// The object names that the focus visits, one Tab after another, starting where it is when
// the window becomes active.
QStringList tabOrder(QWidget* window, int steps);

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
    // The result list's lines and its caption, as shown.
    QStringList resultLines() const;
    QString resultsCaption() const;

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
